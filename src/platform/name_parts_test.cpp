#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/name_parts.hpp"

namespace platform {
namespace {

std::vector<std::string> parts_of(std::string_view name, std::string_view separators) {
  std::vector<std::string> parts;
  for (const std::string_view part : name_parts(name, separators)) parts.emplace_back(part);
  return parts;
}

TEST(NameParts, GivesEveryPartBetweenSeparatorsEmptyOnesIncluded) {
  const struct {
    std::string_view name;
    std::string_view separators;
    std::vector<std::string> parts;
  } cases[] = {
      {"", "/", {""}},
      {"a", "/", {"a"}},
      {"a/b/c.txt", "/", {"a", "b", "c.txt"}},
      {"/", "/", {"", ""}},
      {"/a", "/", {"", "a"}},
      {"a/", "/", {"a", ""}},
      {"a//b", "/", {"a", "", "b"}},
      {"./a/./b", "/", {".", "a", ".", "b"}},
      {"a/../b", "/", {"a", "..", "b"}},
      {"a\\b/c", "/", {"a\\b", "c"}},
      {"a\\b/c", "/\\", {"a", "b", "c"}},
      {"\\\\", "/\\", {"", "", ""}},
      {"a b. /c", "/\\", {"a b. ", "c"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parts_of(c.name, c.separators), c.parts) << '"' << c.name << "\" at \"" << c.separators << '"';
  }
}

TEST(NameParts, OnlyThePartNoSeparatorFollowsIsTheLast) {
  const struct {
    std::string_view name;
    std::vector<bool> last;
  } cases[] = {
      {"", {true}}, {"a", {true}}, {"a/b", {false, true}}, {"a/", {false, true}}, {"//", {false, false, true}},
  };
  for (const auto& c : cases) {
    std::vector<bool> last;
    for (auto part = name_parts(c.name, "/").begin(); part != std::default_sentinel; ++part) {
      last.push_back(part.is_last());
    }
    EXPECT_EQ(last, c.last) << '"' << c.name << '"';
  }
}

TEST(NameParts, BackslashSeparatesByDefaultOnlyWhereTheSystemSaysSo) {
  const std::vector<std::string> split{"a", "b"};
  const std::vector<std::string> whole{"a\\b"};
  std::vector<std::string> parts;
  for (const std::string_view part : name_parts("a\\b")) parts.emplace_back(part);
  EXPECT_EQ(parts, BACKSLASH_SEPARATES ? split : whole);
}

}  // namespace
}  // namespace platform
