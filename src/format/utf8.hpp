#pragma once

// Well-formed UTF-8, as the Unicode standard defines it (its table 3-7): no overlong forms, no
// surrogates, nothing past U+10FFFF. Names and file heads are checked against it before they
// are called text.

#include <cstddef>
#include <string_view>

namespace darvex {

// The length (1 to 4) of the well-formed UTF-8 sequence that starts at `at`, or 0 when the bytes
// there start none, or one cut short by the end of `text`.
std::size_t utf8_sequence_length(std::string_view text, std::size_t at);

// Whether all of `text` is well-formed UTF-8.
bool is_utf8(std::string_view text);

}  // namespace darvex
