#pragma once

// One timing of each thing the benchmark compares: the whole tool, and the three floors it is
// held against (inflating in memory with zlib alone or with the fast inflater, and writing the
// same files from memory).

#include <string>

#include "bench_archives.hpp"
#include "tool_launcher.hpp"

namespace darvex::bench {

// Each run writes into a fresh directory of its own, DIR/runs/A-3/, holding a link to the
// archive, and nothing is deleted until the benchmark ends: on ext4, files created just after
// many were deleted cost far more (the allocator steps over recently freed inodes), which no
// user extracting an archive pays. Returns the directory.
std::string make_run_dir(const std::string& dir, const bench_archive& archive, int run);
// Writes back every dirty page of the file system holding `dir`, outside the timings, so that
// one measurement's writeback does not land in the next.
void settle(const std::string& dir);
// Removes every run directory.
void remove_run_dirs(const std::string& dir);

// Runs `tool` on the archive in `run_dir` as a user would.
tool_run time_tool(tool_launcher& launcher, const std::string& tool, const std::string& run_dir,
                   const bench_archive& archive);

// Inflates one stream completely into the room given, or returns false.
using inflate_function = bool (*)(unsigned char* destination, std::size_t room, const unsigned char* source,
                                  std::size_t source_length);

// Inflates every span, one after another, into `buffer` (large enough for any span).
double time_inflating(const bench_archive& archive, inflate_function inflate, unsigned char* buffer);
bool inflate_with_zlib_only(unsigned char*, std::size_t, const unsigned char*, std::size_t);
bool inflate_as_the_tool_does(unsigned char*, std::size_t, const unsigned char*, std::size_t);

// Creates a directory in `run_dir` and writes the tool's files there from memory with plain
// open/write/close.
double time_writing(const std::string& run_dir, const bench_archive& archive);

}  // namespace darvex::bench
