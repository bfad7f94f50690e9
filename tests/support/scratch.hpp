#pragma once

// Files and directories for tests: a scratch directory that cleans up after itself, whole-file
// reads and writes, and listings of everything under a directory.

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

// Whether `relative` has been written under the output directory `output` in `dir`: in it, or
// in a folder that a run fills under a temporary name beside it before it is given its name.
bool written_so_far(const fs::path& dir, const std::string& output, const std::string& relative);

// Every file and directory under `dir`, as sorted paths relative to it ("out/a.bin").
std::vector<std::string> list_tree(const fs::path& dir);

// Everything under `dir` with what it is, a line each in list_tree's order, so that two trees
// are compared as their descriptions and a test's failure shows where they differ: "a/b  file,
// 6 bytes, sums 9f2c...e1, \"LATEST\"" (its size, CRC-32 and Adler-32 of all its bytes, and its
// first bytes, escaped), "a/c  folder", "a/l  link", "a/p  other".
std::string describe_tree(const fs::path& dir);

// Something that -c never follows or reads, put at a path by `plant`.
struct unfollowed_thing {
  const char* name;
  void (*plant)(const fs::path& at);
};

// A symbolic link to secret.txt two folders up ("link"), one to the folder above ("folder
// link"), and a FIFO ("fifo").
const std::vector<unfollowed_thing>& unfollowed_things();

}  // namespace darvex::test_support
