#pragma once

// Runs the tool, and the extractors it is compared with, from a small helper process made
// before the benchmark holds its archives in memory. A child's peak memory counts the memory of
// the process it was forked from, so no command may be forked from the benchmark itself once
// that holds hundreds of MiB.

#include <sys/types.h>

#include <string>
#include <vector>

namespace darvex::bench {

struct tool_run {
  double seconds;     // from fork to exit
  long peak_kib;      // its peak resident memory
  long minor_faults;  // pages it touched for the first time, mostly
  int status;         // the exit status (127: it could not start), or -1
};

class tool_launcher {
 public:
  tool_launcher();  // forks the helper: make it before allocating anything large
  ~tool_launcher();
  tool_launcher(const tool_launcher&) = delete;
  tool_launcher& operator=(const tool_launcher&) = delete;

  // Runs `command` (its program, looked up on PATH unless it holds a '/', then its arguments)
  // inside `dir`, its standard output going to /dev/null.
  tool_run run(const std::string& dir, const std::vector<std::string>& command);

 private:
  int requests_ = -1;
  int replies_ = -1;
  pid_t helper_ = -1;
};

}  // namespace darvex::bench
