#include <gtest/gtest.h>

#include <string>

#include "format/utf8.hpp"

namespace darvex {
namespace {

TEST(Utf8, TakesWellFormedSequencesOnly) {
  const struct {
    const char* label;
    std::string_view bytes;
    bool well_formed;
  } cases[] = {
      {"ASCII", "plain.txt", true},
      {"two bytes", "caf\xC3\xA9", true},
      {"three bytes", "\xE6\xA1\xA3", true},
      {"four bytes", "\xF0\x9F\x98\x80", true},
      {"highest code point", "\xF4\x8F\xBF\xBF", true},
      {"Latin-1", "caf\xE9", false},
      {"lone continuation", "\x80", false},
      {"overlong slash", "\xC0\xAF", false},
      {"overlong three bytes", "\xE0\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"past U+10FFFF", "\xF4\x90\x80\x80", false},
      {"cut short", "\xE6\xA1", false},
      {"lead without continuation", "\xC3(", false},
      {"F5 never leads", "\xF5\x80\x80\x80", false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_utf8(c.bytes), c.well_formed) << c.label;
}

// Each sequence decoded where it stands after a byte of ASCII: the lowest and highest code
// point of each length, and the forms that only look like UTF-8, which decode to nothing.
TEST(Utf8, DecodesWellFormedSequencesOnly) {
  const struct {
    const char* label;
    std::string_view bytes;
    char32_t code_point;
    std::size_t length;
  } cases[] = {
      {"ASCII", "A", U'A', 1},
      {"lowest of two bytes", "\xC2\x80", 0x80, 2},
      {"highest of two bytes", "\xDF\xBF", 0x7FF, 2},
      {"lowest of three bytes", "\xE0\xA0\x80", 0x800, 3},
      {"below the surrogates", "\xED\x9F\xBF", 0xD7FF, 3},
      {"above the surrogates", "\xEE\x80\x80", 0xE000, 3},
      {"highest of three bytes", "\xEF\xBF\xBF", 0xFFFF, 3},
      {"lowest of four bytes", "\xF0\x90\x80\x80", 0x10000, 4},
      {"highest code point", "\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
      {"only the first of two", "\xC3\xA9\xC3\xA9", 0xE9, 2},
      {"overlong 2-byte '/'", "\xC0\xAF", 0, 0},
      {"overlong 2-byte U+007F", "\xC1\xBF", 0, 0},
      {"overlong 3-byte '/'", "\xE0\x80\xAF", 0, 0},
      {"overlong 3-byte U+07FF", "\xE0\x9F\xBF", 0, 0},
      {"overlong 4-byte '/'", "\xF0\x80\x80\xAF", 0, 0},
      {"overlong 4-byte U+FFFF", "\xF0\x8F\xBF\xBF", 0, 0},
      {"surrogate U+D800", "\xED\xA0\x80", 0, 0},
      {"surrogate U+DFFF", "\xED\xBF\xBF", 0, 0},
      {"past U+10FFFF", "\xF4\x90\x80\x80", 0, 0},
      {"F5 never leads", "\xF5\x80\x80\x80", 0, 0},
      {"lone continuation", "\x80", 0, 0},
      {"cut short", "\xF0\x9F\x98", 0, 0},
      {"lead without continuation", "\xE6\xA1(", 0, 0},
  };
  for (const auto& c : cases) {
    std::string text = "x";
    text += c.bytes;
    const utf8_character decoded = decode_utf8(text, 1);
    EXPECT_EQ(decoded.code_point, c.code_point) << c.label;
    EXPECT_EQ(decoded.length, c.length) << c.label;
  }
}

}  // namespace
}  // namespace darvex
