#pragma once

// Which entry names may be created as files (only names that stay inside the output
// directory), and which names are one file.

#include <string>
#include <string_view>

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

}  // namespace darvex
