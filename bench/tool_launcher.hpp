#pragma once

// Runs the tool from a small helper process made before the benchmark holds its archives in
// memory. A child's peak memory counts the memory of the process it was forked from, so the
// tool must not be forked from the benchmark itself once that holds hundreds of MiB.

#include <string>
#include <sys/types.h>

namespace darvex::bench {

struct tool_run {
  double seconds;     // from fork to exit
  long peak_kib;      // the tool's peak resident memory
  long minor_faults;  // pages it touched for the first time, mostly
  int status;         // the tool's exit status, or -1
};

class tool_launcher {
 public:
  tool_launcher();  // forks the helper: make it before allocating anything large
  ~tool_launcher();
  tool_launcher(const tool_launcher&) = delete;
  tool_launcher& operator=(const tool_launcher&) = delete;

  // Runs `tool archive` inside `dir`, its progress text going to /dev/null.
  tool_run run(const std::string& tool, const std::string& dir, const std::string& archive);

 private:
  int requests_ = -1;
  int replies_ = -1;
  pid_t helper_ = -1;
};

}  // namespace darvex::bench
