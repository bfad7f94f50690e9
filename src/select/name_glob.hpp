#pragma once

// Matching entry names against the patterns of -i and -x.

#include <string>
#include <string_view>
#include <vector>

#include "platform/traits.hpp"

namespace darvex {

// Letters match in either case where file names ignore it (ASCII letters, as Windows does).
inline constexpr bool GLOB_IGNORES_CASE = platform::NAMES_IGNORE_CASE;

// Whether `name` matches `pattern` as a whole: `*` matches any run of characters, separators
// included; `?` one character; `[...]` one character of a class (`[a-z]`, `[!0-9]` or
// `[^0-9]` for the others, `]` first stands for itself); `/` and `\` match each other; any
// other character matches itself. Characters are well-formed UTF-8 sequences (format/utf8.hpp),
// or single bytes where the text is not: an overlong form, a surrogate or a code point past
// U+10FFFF is as many characters as it has bytes, each matching only itself, `?` or a class
// that holds it.
bool glob_matches(std::string_view pattern, std::string_view name, bool ignore_case = GLOB_IGNORES_CASE);

// Whether `pattern` takes `name`: as a glob over the whole name, or, for a pattern without
// wildcards, as the folder that holds it ("data/tex" and "data\\tex\\" take "data/tex/a.dds").
// Both in the case that names are compared in (platform::case_folded).
bool pattern_takes(std::string_view pattern, std::string_view name);

// Patterns turned once into the case that names are compared in, for matching many names.
class folded_patterns {
 public:
  explicit folded_patterns(const std::vector<std::string>& patterns);

  bool empty() const { return folded_.empty(); }
  std::size_t size() const { return folded_.size(); }
  // Whether pattern `i` takes `folded_name` (a name as platform::case_folded gives it).
  bool takes(std::size_t i, std::string_view folded_name) const { return pattern_takes(folded_[i], folded_name); }
  // Whether any of them does.
  bool any_takes(std::string_view folded_name) const;

 private:
  std::vector<std::string> folded_;
};

}  // namespace darvex
