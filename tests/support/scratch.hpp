#pragma once

// Files and directories for tests: a scratch directory that cleans up after itself, whole-file
// reads and writes, and a listing of everything under a directory.

#include <filesystem>
#include <string>
#include <vector>

namespace darvex::test_support {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary directory, removed with all it holds.
class scratch_dir {
 public:
  scratch_dir();
  ~scratch_dir();
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;

  const fs::path& path() const { return path_; }
  fs::path operator/(const fs::path& relative) const { return path_ / relative; }

 private:
  fs::path path_;
};

// Makes `dir` the working directory until destroyed, then returns to where it was.
class working_dir {
 public:
  explicit working_dir(const fs::path& dir);
  ~working_dir();
  working_dir(const working_dir&) = delete;
  working_dir& operator=(const working_dir&) = delete;

 private:
  fs::path previous_;
};

std::string read_file(const fs::path& path);
void write_file(const fs::path& path, const std::string& bytes);

// Every file and directory under `dir`, as sorted paths relative to it ("out/a.bin").
std::vector<std::string> list_tree(const fs::path& dir);

}  // namespace darvex::test_support
