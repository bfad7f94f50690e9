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

TEST(NameGlob, IgnoringCaseFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(glob_matches("*.XML", "Levels/One.xml", true));
  EXPECT_TRUE(glob_matches("[A-C]", "b", true));
  EXPECT_FALSE(glob_matches("\xC3\x89", "\xC3\xA9", true));  // É and é stay distinct
}

}  // namespace
}  // namespace darvex
