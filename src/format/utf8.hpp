#pragma once

// Well-formed UTF-8, as the Unicode standard defines it (its table 3-7): no overlong forms, no
// surrogates, nothing past U+10FFFF. Names and file heads are checked against it before they
// are called text, and patterns and names are matched character by character as it decodes them.

#include <cstddef>
#include <string_view>

namespace darvex {

// The length (1 to 4) of the well-formed UTF-8 sequence that starts at `at`, or 0 when the bytes
// there start none, or one cut short by the end of `text`.
std::size_t utf8_sequence_length(std::string_view text, std::size_t at);

// A character decoded from well-formed UTF-8: its code point and the bytes it took.
struct utf8_character {
  char32_t code_point = 0;
  std::size_t length = 0;  // 0 when the bytes start no well-formed sequence
};

// The character whose well-formed sequence starts at `at`; a length of 0 where none does.
utf8_character decode_utf8(std::string_view text, std::size_t at);

// Whether the bytes at `at` are the UTF-8 form of a C1 control (U+0080 to U+009F, C2 80 to C2 9F),
// which a terminal obeys as it does the C0 controls: text that may reach one escapes them.
bool is_c1_control_at(std::string_view text, std::size_t at);

// Whether all of `text` is well-formed UTF-8.
bool is_utf8(std::string_view text);

}  // namespace darvex
