#pragma once

// A scratch tree in which the whole tool runs in-process on an archive's bytes, and which shows
// any write outside the output directory. root/up/work/ holds the archive input.dat, its output
// directory input/ and a sentinel file; the levels above catch "../", "../../" and "../../../"
// escapes. One site serves any number of runs, so that fuzzing and sweeps stay cheap.

#include <string>
#include <vector>

#include "scratch.hpp"

namespace darvex::testing {

class watched_site {
 public:
  watched_site();

  // Empties the output directory, writes `archive` as input.dat and runs the tool on it, as
  // `DarvEx <absolute path of input.dat>` would. Returns the exit status. The working
  // directory is restored afterwards.
  int run(const std::string& archive);

  // What the last run broke, one line each, empty when nothing: a file or directory outside
  // the output directory, a changed sentinel or archive, or something in the output directory
  // that is not a regular file.
  std::vector<std::string> escapes() const;

  const fs::path& output_dir() const { return output_; }

 private:
  scratch_dir root_;
  fs::path work_;
  fs::path archive_;
  fs::path output_;
  fs::path sentinel_;
  std::string archive_bytes_;
};

}  // namespace darvex::testing
