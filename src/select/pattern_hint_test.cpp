#include <gtest/gtest.h>

#include "select/name_glob.hpp"
#include "select/pattern_hint.hpp"

namespace darvex {
namespace {

const std::vector<std::string> NAMES = {"data\\tex\\rock.dds", "data/tex/bedrock.dds", "levels/one.xml", "readme.txt",
                                        "sound/music.ogg"};

TEST(PatternHint, SuggestsTheNearestPatternThatMatchesAName) {
  const struct {
    const char* given;
    const char* hint;  // nullptr: none
    const char* example;
  } cases[] = {
      {"rock.dds", "*rock.dds", "data\\tex\\rock.dds"},
      {"tex", "data/tex", "data\\tex\\rock.dds"},
      {"tex\\", "data/tex", "data\\tex\\rock.dds"},
      {"ound", "*ound*", "sound/music.ogg"},
      {"read", "read*", "readme.txt"},
      {"usic", "*usic*", "sound/music.ogg"},
      {"*music", "*music*", "sound/music.ogg"},
      {"one.x?l", "*one.x?l", "levels/one.xml"},
      {"*.png", nullptr, nullptr},
      {"", nullptr, nullptr},
      {"rock.dds/", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<pattern_hint> hint = hint_for(c.given, NAMES);
    if (c.hint == nullptr) {
      EXPECT_EQ(hint, std::nullopt) << c.given << ": " << (hint ? hint->pattern : "");
      continue;
    }
    ASSERT_TRUE(hint.has_value()) << c.given;
    EXPECT_EQ(hint->pattern, c.hint) << c.given;
    EXPECT_EQ(hint->example, c.example) << c.given;
  }
}

TEST(PatternHint, LettersCompareAsTheSelectionComparesThem) {
  const std::optional<pattern_hint> hint = hint_for("ROCK.DDS", NAMES);
  EXPECT_EQ(hint.has_value(), GLOB_IGNORES_CASE);
  if (hint) {
    EXPECT_EQ(hint->pattern, "*ROCK.DDS") << "the hint keeps the letters as given";
  }
}

}  // namespace
}  // namespace darvex
