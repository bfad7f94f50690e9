#pragma once

// What went wrong, as every layer hands it on: a kind, from which alone the front end chooses the
// exit status (what only the command line meets has kinds of its own, in cli/exit_status.hpp); the raw path it concerns
// (the console quotes it); the reason in words; and the system's error number when a system call failed.

#include <optional>
#include <string>

namespace darvex {

enum class problem_kind {
  archive,          // the archive cannot be opened or read as one
  index,            // the index cannot be loaded or does not fit the entry table
  output,           // the output directory, table.bin or a new archive cannot be made
  source,           // a file or folder to pack cannot be read, or cannot be an entry
  refused_entry,    // an entry's name, span or size is not safe to extract
  damaged_entry,    // an entry's data cannot be read or does not inflate cleanly
  unwritten_entry,  // an entry's file cannot be created or written
};

struct problem {
  problem_kind kind;
  std::string path;  // the file it concerns, as given; empty for an entry's, which its entry names
  std::string reason;
  int err = 0;  // the system's error number, when a system call failed
};

// Empty when the step did its work.
using maybe_problem = std::optional<problem>;

}  // namespace darvex
