#include <gtest/gtest.h>

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

}  // namespace
}  // namespace darvex
