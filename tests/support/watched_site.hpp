#pragma once

// A scratch tree in which the whole tool runs in-process on an archive's bytes, and which shows
// any write outside the output directory. root/up/work/ holds the archive input.dat, its output
// directory input/ and a sentinel file; the levels above catch "../", "../../" and "../../../"
// escapes. Before each run, links are planted in the output directory where the run will write:
// at table.bin and at entry names, and at folder parts of names (the first part, or the second
// inside a real first folder), leading to the sentinel or to directories above, so that a run
// that writes through a link shows too. During each run, a folder that the tool has just made
// in the output directory is swapped for a link to the directory above whenever the swap wins
// the race with the tool. One site serves any number of runs, so that fuzzing and sweeps stay
// cheap.

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "scratch.hpp"

namespace darvex::test_support {

class watched_site {
 public:
  watched_site();

  // Empties the output directory, plants its links, writes `archive` as input.dat and runs the
  // tool on it, as `DarvEx <options> <absolute path of input.dat>` would. Returns the exit status.
  int run(const std::string& archive, const std::vector<std::string>& options = {});

  // What the last run broke, one line each, empty when nothing: a file or directory outside
  // the output directory, a changed sentinel or archive, or something in the output directory
  // that is neither a regular file, nor a folder, nor a link planted there and left as it was.
  std::vector<std::string> escapes() const;

  const fs::path& output_dir() const { return output_; }

 private:
  void plant_links(const std::string& archive);
  void plant(const std::string& name, const std::string& target);

  scratch_dir root_;
  fs::path work_;
  fs::path archive_;
  fs::path output_;
  fs::path sentinel_;
  std::string archive_bytes_;
  mutable std::mutex planted_mutex_;                          // the swapper plants during a run
  std::vector<std::pair<std::string, std::string>> planted_;  // path in the output directory, target
};

}  // namespace darvex::test_support
