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
// of `inputs` (files in DIR), and nothing is deleted until the benchmark ends: on ext4, files
// created just after many were deleted cost far more (the allocator steps over recently freed
// inodes), which no user extracting an archive pays. Returns the directory.
std::string make_run_dir(const std::string& dir, const std::string& id, int run,
                         const std::vector<std::string>& inputs);
// Writes back every dirty page of the file system holding `dir`, outside the timings, so that
// one measurement's writeback does not land in the next.
void settle(const std::string& dir);
// Removes every run directory.
void remove_run_dirs(const std::string& dir);

// One way of extracting a set of inputs.
struct contender {
  std::string id;                    // names its run directories: "A-j1"
  std::string label;                 // as the report shows it: "the tool, -j 1"
  std::vector<std::string> command;  // run in the run directory, or in `work` inside it
  std::string work;                  // "" or a directory made in the run directory first
  std::size_t files;                 // how many files it must leave in the run directory, inputs aside
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

}  // namespace darvex::bench
