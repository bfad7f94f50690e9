#pragma once

// The command line, read in one place: `DarvEx [OPTION]... ARCHIVE...`,
// `DarvEx -c FILE [OPTION]... DIR` to make an archive, or `DarvEx --diff OLD NEW` to compare two. Options come before
// the first operand;
// `--` ends them.

#include <optional>
#include <string>
#include <vector>

namespace darvex {

enum class command {
  usage_text,  // no argument at all
  extract,
  list,
  test,
  to_stdout,  // -p
  create,
  diff,  // --diff OLD NEW
  help,
  version,
};

inline constexpr unsigned MAX_JOBS = 64;
// A stored name has at most 255 bytes, and so no more parts than that.
inline constexpr unsigned MAX_STRIPPED_PARTS = 255;

struct options {
  command what = command::extract;
  std::optional<std::string> directory;  // -d: instead of the name less its last four characters
  std::string directory_option;          // how -d was written ("'-d'", "'--directory'"), for messages
  std::vector<std::string> includes;     // -i: only entries matching one of these
  std::vector<std::string> excludes;     // -x: never entries matching one of these
  bool no_overwrite = false;             // -n
  bool no_table = false;                 // --no-table: extraction leaves no table.bin
  bool json = false;                     // --json: -l and -t write JSON Lines
  bool quiet = false;                    // -q
  unsigned jobs = 0;                     // -j: 0 for the default
  unsigned strip_components = 0;         // --strip-components: leading name parts dropped
  std::vector<std::string> archives;
  std::string created;              // -c: the archive to make
  std::string folder;               // -c: the folder it is made from, the one operand
  std::optional<std::string> like;  // --like: the archive whose bytes it keeps
  std::optional<unsigned> level;    // --level: the compression level
  bool sync = false;                // --sync: records whose file is missing leave the archive
};

struct parsed_options {
  options chosen;
  std::string error;  // what is wrong with the command line; empty when nothing is
};

// Reads the arguments that follow the program's name.
parsed_options parse_options(const std::vector<std::string>& args);

// The workers a run uses: -j, or the hardware threads, at most 16.
unsigned jobs_to_use(const options& chosen);

}  // namespace darvex
