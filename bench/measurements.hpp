#pragma once

// One timing of each thing the benchmark compares: a command that extracts (the tool at a job
// count, or a zip extractor), and the three floors the tool is held against (inflating in
// memory with zlib alone or with the fast inflater, and writing the same files from memory).

#include <string>
#include <vector>

#include "bench_archives.hpp"
#include "tool_launcher.hpp"

namespace darvex::bench {

// Each run writes into a fresh directory of its own, DIR/runs/A-j1-3/, holding a link to each
// of `inputs` (files in DIR). Outside tmpfs nothing is deleted until the benchmark ends (but
// the mixed data's, gigabytes a run): on ext4, files created just after many were deleted cost
// far more (the allocator steps over recently freed inodes), which no user extracting an
// archive pays. Returns the directory.
std::string make_run_dir(const std::string& dir, const std::string& id, int run,
                         const std::vector<std::string>& inputs);
std::string run_dir_of(const std::string& dir, const std::string& id, int run);
// Whether `dir` lies on tmpfs, where removing files costs later ones nothing and keeping them
// costs memory: there each run's directory is removed once measured.
bool on_tmpfs(const std::string& dir);
// Removes the run directory of `id`'s run `run` when `remove` says so.
void done_with_run(const std::string& dir, const std::string& id, int run, bool remove);
// Writes back every dirty page of the file system holding `dir`, outside the timings, so that
// one measurement's writeback does not land in the next.
void settle(const std::string& dir);
// Removes every run directory.
void remove_run_dirs(const std::string& dir);

enum class contender_role { tool_one_job, tool_default, baseline_one_job, baseline_default, peer };

// The regular files under `dir`, however deep.
std::size_t files_under(const std::string& dir);

// One way of extracting a set of inputs.
struct contender {
  std::string id;                    // names its run directories: "A-j1"
  std::string label;                 // as the report shows it: "the tool, -j 1"
  std::vector<std::string> command;  // run in the run directory, or in `work` inside it
  std::string work;                  // "" or a directory made in the run directory first
  std::size_t files;                 // how many files it must leave in the run directory, inputs aside
  contender_role role;
};

// Runs `who` once on `inputs` in a fresh run directory, settled before and after. Throws when
// the command fails or leaves other than `who.files` files.
tool_run time_contender(tool_launcher& launcher, const std::string& dir, const contender& who,
                        const std::vector<std::string>& inputs, int run);

// Inflates one stream completely into the room given, or returns false.
using inflate_function = bool (*)(unsigned char* destination, std::size_t room, const unsigned char* source,
                                  std::size_t source_length);

// Inflates every span, one after another, into `buffer` (large enough for any span).
double time_inflating(const bench_archive& archive, inflate_function inflate, unsigned char* buffer);
bool inflate_with_zlib_only(unsigned char*, std::size_t, const unsigned char*, std::size_t);
bool inflate_as_the_tool_does(unsigned char*, std::size_t, const unsigned char*, std::size_t);

// Writes the tool's files for `archive` from memory with plain open/write/close into a
// directory made in `run_dir`.
double time_writing(const std::string& run_dir, const bench_archive& archive);

// A file descriptor, closed when done with; `what` names the file in the error thrown when it
// did not open.
class open_file {
 public:
  open_file(int descriptor, const std::string& what);
  ~open_file();
  open_file(const open_file&) = delete;
  open_file& operator=(const open_file&) = delete;
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

// Writes all of `bytes` to `file`, or throws.
void write_whole(int file, std::string_view bytes);

}  // namespace darvex::bench
