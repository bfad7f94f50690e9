#include <gtest/gtest.h>

#include "cli/console.hpp"

namespace darvex {
namespace {

TEST(Console, EscapesControlsAndShowsPrintableNamesByteForByte) {
  const struct {
    std::string name;
    std::string shown;
  } cases[] = {
      {"plain name.txt", "plain name.txt"},
      {"dir\\sub/x", "dir\\sub/x"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xE6\xA1\xA3", "caf\xC3\xA9 \xE2\x82\xAC \xE6\xA1\xA3"},  // é € 档
      {"\xC4\x81", "\xC4\x81"},  // ā: its second byte is in 0x80..0x9F, yet no control
      {"latin-1 \xE9\xFF", "latin-1 \xE9\xFF"},
      {"\x1B[2J", "\\x1B[2J"},
      {"a\rb\nc\td", "a\\x0Db\\x0Ac\\x09d"},
      {"del\x7F", "del\\x7F"},
      {"csi\xC2\x9B"
       "2J",
       "csi\\xC2\\x9B2J"},  // U+009B, the one-character CSI
      {"nel\xC2\x85", "nel\\xC2\\x85"},
      {"\xC2\xA0", "\xC2\xA0"},  // U+00A0 is printable
      {"cut\xC2", "cut\xC2"},
      {"\xC2\x80 \xC2\x9F \xC2\xA0", "\\xC2\\x80 \\xC2\\x9F \xC2\xA0"},  // the first, the last and the next
      {"\xC2\xC2\x85", "\xC2\\xC2\\x85"},                                // a lone lead, then U+0085
  };
  for (const auto& c : cases) EXPECT_EQ(escaped(c.name), c.shown) << c.name;
}

}  // namespace
}  // namespace darvex
