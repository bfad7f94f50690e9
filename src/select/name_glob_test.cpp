#include <gtest/gtest.h>

#include "select/name_glob.hpp"

namespace darvex {
namespace {

TEST(NameGlob, MatchesWholeNames) {
  const struct {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"a.txt", "a.txt", true},
      {"a.txt", "a.txt2", false},
      {"a.txt", "xa.txt", false},
      {"*", "", true},
      {"*", "any/thing\\at all", true},
      {"*.xml", "levels/one.xml", true},  // '*' runs across separators
      {"*.xml", "one.xml.bak", false},
      {"l*/*.xml", "levels/one.xml", true},
      {"*a*b*c", "xxaxxbxxbc", true},
      {"*a*b*c", "xxaxxbxxb", false},
      {"?", "a", true},
      {"?", "", false},
      {"?", "ab", false},
      {"??.bin", "ab.bin", true},
      {"?", "\xC3\xA9", true},  // one character, two bytes of UTF-8
      {"??", "\xC3\xA9", false},
      {"?", "\xE9", true},    // a byte that is not UTF-8 is one character
      {"a/b", "a\\b", true},  // the separators match each other
      {"a\\*", "a/x", true},
      {"[abc].txt", "b.txt", true},
      {"[abc].txt", "d.txt", false},
      {"[a-c]", "c", true},
      {"[a-c]", "C", false},
      {"[!a-c]", "d", true},
      {"[^a-c]", "a", false},
      {"[]x]", "]", true},
      {"[a-]", "-", true},
      {"[/]", "\\", true},
      {"[\xC3\xA9]", "\xC3\xA9", true},
      {"[abc", "[abc", true},  // an unclosed class is a literal '['
      {"[abc", "a", false},
      {"A.TXT", "a.txt", false},  // case-sensitive unless asked
  };
  for (const auto& c : cases) {
    EXPECT_EQ(glob_matches(c.pattern, c.name, false), c.matches) << c.pattern << " against " << c.name;
  }
}

// Bytes that only look like UTF-8 (overlong forms, surrogates, code points past U+10FFFF) are
// one character a byte, each matching only the same byte: an overlong '/' is no separator and
// an overlong 'A' no letter.
TEST(NameGlob, IllFormedUtf8IsOneCharacterAByte) {
  const struct {
    const char* label;
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"overlong 2-byte '/'", "?", "\xC0\xAF", false},
      {"overlong 2-byte '/'", "??", "\xC0\xAF", true},
      {"overlong 2-byte '/'", "a/z", "a\xC0\xAFz", false},
      {"overlong 3-byte '/'", "?", "\xE0\x80\xAF", false},
      {"overlong 3-byte '/'", "???", "\xE0\x80\xAF", true},
      {"overlong 3-byte '/'", "a/z", "a\xE0\x80\xAFz", false},
      {"overlong 3-byte '/'", "a\\z", "a\xE0\x80\xAFz", false},
      {"overlong 3-byte '/'", "[/]", "\xE0\x80\xAF", false},
      {"overlong 3-byte '/'", "[\xE0]??", "\xE0\x80\xAF", true},
      {"overlong 3-byte '/' in the pattern", "\xE0\x80\xAF", "/", false},
      {"overlong 3-byte '/' in the pattern", "\xE0\x80\xAF", "\xE0\x80\xAF", true},
      {"overlong 4-byte '/'", "?", "\xF0\x80\x80\xAF", false},
      {"overlong 4-byte '/'", "????", "\xF0\x80\x80\xAF", true},
      {"overlong 4-byte '/'", "a/z", "a\xF0\x80\x80\xAFz", false},
      {"overlong 4-byte '/'", "*/*", "a\xF0\x80\x80\xAFz", false},
      {"surrogate U+D800", "?", "\xED\xA0\x80", false},
      {"surrogate U+D800", "???", "\xED\xA0\x80", true},
      {"surrogate U+D800", "[\xED\x9F\xBF-\xEE\x80\x80]", "\xED\xA0\x80", false},  // U+D7FF to U+E000
      {"surrogate U+D800", "[\xED\xA0\x80]", "\xED\xA0\x80", false},  // a class of three bytes, one character
      {"surrogate U+D800", "[\xED\xA0\x80]??", "\xED\xA0\x80", true},
      {"surrogate U+DFFF", "?", "\xED\xBF\xBF", false},
      {"surrogate U+DFFF", "???", "\xED\xBF\xBF", true},
      {"surrogate U+DFFF", "[!\xED]??", "\xED\xBF\xBF", false},
      {"past U+10FFFF", "?", "\xF4\x90\x80\x80", false},
      {"past U+10FFFF", "????", "\xF4\x90\x80\x80", true},
      {"past U+10FFFF", "[\x80-\xFF][\x80-\xFF][\x80-\xFF][\x80-\xFF]", "\xF4\x90\x80\x80", true},
      {"well-formed U+10FFFF", "?", "\xF4\x8F\xBF\xBF", true},
      {"well-formed U+10FFFF", "[\x80-\xFF]", "\xF4\x8F\xBF\xBF", false},  // a character, not a byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(glob_matches(c.pattern, c.name, false), c.matches) << c.label << ": " << c.pattern;
  }
}

TEST(NameGlob, IgnoringCaseFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(glob_matches("*.XML", "Levels/One.xml", true));
  EXPECT_TRUE(glob_matches("[A-C]", "b", true));
  EXPECT_FALSE(glob_matches("\xC3\x89", "\xC3\xA9", true));  // É and é stay distinct
  EXPECT_FALSE(glob_matches("a", "\xE0\x81\x81", true));     // an overlong 'A' is three bytes, no letter
  EXPECT_TRUE(glob_matches("???", "\xE0\x81\x81", true));
}

}  // namespace
}  // namespace darvex
