#pragma once

// Which entry names may be created as files (only names that stay inside the output
// directory), and which names are one file.

#include <string>
#include <string_view>
#include <vector>

#include "platform/traits.hpp"

namespace darvex {

enum class name_rules {
  portable,  // '/' and '\' are separators, drive prefixes and ".." components are refused
  windows,   // the portable rules, and none of the names Windows treats as devices or aliases
};

inline constexpr name_rules HOST_NAME_RULES = platform::WINDOWS_NAME_RULES ? name_rules::windows : name_rules::portable;

// Why `name` must not be created, or nullptr when it is safe to create.
const char* unsafe_name_reason(const char* name, name_rules rules = HOST_NAME_RULES);

// A key that two names share whenever they may name the same file on some system: '/' and
// '\\' alike, empty and "." parts dropped, trailing dots and spaces trimmed and ASCII case folded
// (as Windows and case-insensitive file systems do). Names that share it are written in index
// order; it may join names that are distinct files, which costs only parallelism.
std::string same_file_key(std::string_view name);

// Where extraction puts an entry: the folders inside the output directory, then the file or
// folder itself.
struct entry_path {
  std::vector<std::string> parts;  // never holds an empty or "." part
  bool folder = false;             // the name ends in a separator: a folder entry
};

// The path of the entry named `text` (a stored name as name_encoding::text_of gives it): its parts
// between '/' and '\\' on every system, empty and "." parts dropped, each part trimmed of trailing
// dots and spaces where Windows' name rules apply (as Windows trims them), less its first `strip`
// parts. No parts when nothing is left.
entry_path path_of_entry(std::string_view text, unsigned strip = 0);

// The path's parts joined with '/': what same_file_key and its messages read.
std::string joined(const entry_path& path);

}  // namespace darvex
