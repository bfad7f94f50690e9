#pragma once

// Matching entry names against the patterns of -i and -x.

#include <string_view>

namespace darvex {

#ifdef _WIN32
inline constexpr bool GLOB_IGNORES_CASE = true;  // as Windows file names do, for ASCII letters
#else
inline constexpr bool GLOB_IGNORES_CASE = false;
#endif

// Whether `name` matches `pattern` as a whole: `*` matches any run of characters, separators
// included; `?` one character; `[...]` one character of a class (`[a-z]`, `[!0-9]` or
// `[^0-9]` for the others, `]` first stands for itself); `/` and `\` match each other; any
// other character matches itself. Characters are UTF-8 sequences, or single bytes where
// the text is not UTF-8.
bool glob_matches(std::string_view pattern, std::string_view name, bool ignore_case = GLOB_IGNORES_CASE);

}  // namespace darvex
