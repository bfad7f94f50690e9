#pragma once

// The single-thread floor of extracting a set: every entry's stream inflated, one after another,
// into one buffer by the inflater the tool uses (libdeflate where it is built in, else zlib),
// and written as its file with open/write/close, table.bin too, from memory already faulted in
// (the streams held in memory, the buffer touched before the clock starts). It reads no archive
// and takes no page fault of its own: what one thread must spend to make the same files.

#include <string>
#include <vector>

#include "archive_writer.hpp"

namespace darvex::bench {

struct floor_file {
  std::string path;    // under the output folder, folders separated by '/'
  std::string stream;  // the zlib stream
  std::size_t room;    // what it inflates to, and so the file's length
};

struct floor_archive {
  std::string output_dir;            // the folder the tool makes for the archive: "R1"
  std::vector<std::string> folders;  // the folders under it, each after its parent
  std::vector<floor_file> files;     // the entries, then table.bin
};

// The floor's input for `archive`, extracted into `output_dir`: the entries' streams, taken
// from it, and its compressed index, which inflates into table.bin.
floor_archive floor_of(test_support::test_archive&& archive, std::string output_dir);

// What the floor inflates with: "libdeflate" or "zlib".
std::string floor_inflater();

// Makes every file of `archives` in `run_dir`, one after another, through `buffer` (of
// ENTRY_BUFFER_SIZE bytes, touched here before the clock starts). Returns the seconds taken.
double time_extract_floor(const std::string& run_dir, const std::vector<floor_archive>& archives,
                          unsigned char* buffer);

}  // namespace darvex::bench
