#include "select/name_glob.hpp"

#include <algorithm>
#include <cstddef>

#include "format/utf8.hpp"
#include "platform/platform.hpp"

namespace darvex {
namespace {

// A character of the text: a code point, or for a byte that starts no well-formed UTF-8
// sequence (format/utf8.hpp: no overlong form, surrogate or code point past U+10FFFF), a value
// no code point takes, so that such a byte matches only itself.
constexpr char32_t NOT_UTF8 = 0x80000000;

// Decodes the character at `at` and moves past it. Separators come out as '/'; with
// `ignore_case`, ASCII letters as lower case.
char32_t next_character(std::string_view text, std::size_t& at, bool ignore_case) {
  const utf8_character decoded = decode_utf8(text, at);
  if (decoded.length == 0) return NOT_UTF8 | static_cast<unsigned char>(text[at++]);
  at += decoded.length;
  const char32_t c = decoded.code_point;
  if (c == '\\') return '/';
  if (ignore_case && c >= 'A' && c <= 'Z') return c - 'A' + 'a';
  return c;
}

// Where the class opening at `at` (just past '[') closes, or npos when it does not.
std::size_t class_end(std::string_view pattern, std::size_t at) {
  if (at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^')) ++at;
  if (at < pattern.size() && pattern[at] == ']') ++at;
  return pattern.find(']', at);
}

// Whether `c` is in the class between `at` (just past '[') and `end` (its ']').
bool in_class(std::string_view pattern, std::size_t at, std::size_t end, char32_t c, bool ignore_case) {
  const bool negated = pattern[at] == '!' || pattern[at] == '^';
  if (negated) ++at;
  bool found = false;
  while (at < end) {
    const char32_t low = next_character(pattern, at, ignore_case);
    char32_t high = low;
    if (at + 1 < end && pattern[at] == '-') {
      ++at;
      high = next_character(pattern, at, ignore_case);
    }
    if (c >= low && c <= high) found = true;
  }
  return found != negated;
}

// Matches one pattern element at `p` (not '*') against the character at `n`, moving past both.
bool match_one(std::string_view pattern, std::size_t& p, std::string_view name, std::size_t& n, bool ignore_case) {
  const char32_t c = next_character(name, n, ignore_case);
  if (pattern[p] == '?') {
    ++p;
    return true;
  }
  if (pattern[p] == '[') {
    const std::size_t end = class_end(pattern, p + 1);
    if (end != std::string_view::npos) {
      const bool matched = in_class(pattern, p + 1, end, c, ignore_case);
      p = end + 1;
      return matched;
    }
  }
  return next_character(pattern, p, ignore_case) == c;
}

}  // namespace

bool glob_matches(std::string_view pattern, std::string_view name, bool ignore_case) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string_view::npos;  // just past the last '*' seen
  std::size_t star_name = 0;                  // where the name stood when it was seen
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = ++p;
      star_name = n;
      continue;
    }
    std::size_t next_p = p;
    std::size_t next_n = n;
    if (p < pattern.size() && match_one(pattern, next_p, name, next_n, ignore_case)) {
      p = next_p;
      n = next_n;
      continue;
    }
    if (star == std::string_view::npos) return false;
    // Let the last '*' take one more character and try again from there.
    p = star;
    next_character(name, star_name, ignore_case);
    n = star_name;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool pattern_takes(std::string_view pattern, std::string_view name) {
  if (glob_matches(pattern, name)) return true;
  if (pattern.find_first_of("*?[") != std::string_view::npos) return false;
  const std::size_t end = pattern.find_last_not_of(platform::ANY_PATH_SEPARATOR);
  if (end == std::string_view::npos) return false;
  return glob_matches(std::string(pattern.substr(0, end + 1)) + "/*", name);
}

folded_patterns::folded_patterns(const std::vector<std::string>& patterns) {
  for (const std::string& pattern : patterns) folded_.push_back(platform::case_folded(pattern));
}

bool folded_patterns::any_takes(std::string_view folded_name) const {
  return std::any_of(folded_.begin(), folded_.end(),
                     [&](const std::string& pattern) { return pattern_takes(pattern, folded_name); });
}

}  // namespace darvex
