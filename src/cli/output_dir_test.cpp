#include <gtest/gtest.h>

#include "cli/output_dir.hpp"

namespace darvex {
namespace {

TEST(OutputDir, IsTheArgumentLessItsLastFourBytes) {
  const struct {
    const char* argument;
    const char* output_dir;
  } cases[] = {
      {"file.dat", "file"},
      {"archive1234", "archive"},
      {"data/sub/file.dat", "data/sub/file"},
      {"C:\\games\\file.dat", "C:\\games\\file"},
      {"../file.pak", "../file"},
      {"dir/a.b/file.dat", "dir/a.b/file"},
      {"x.tar.gz", "x.ta"},
      {"abcde", "a"},
      {"a b.dat", "a b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(derive_output_dir(c.argument), std::optional<std::string>(c.output_dir)) << c.argument;
  }
}

TEST(OutputDir, ArgumentsThatLeaveNoDirectoryOfTheirOwnAreRefused) {
  // Four bytes or fewer, a separator among the four dropped (the result would be the archive's
  // folder or another), or a result naming an existing directory (the parent, or itself).
  const char* const refused[] = {"",          "a",          "abcd",   ".dat",     "dir/.dat",
                                 "dir\\.dat", "dir/..abcd", "..abcd", ".abcd",    "C:.dat",
                                 "home/pak",  "/tmp/abc",   "a\\bcd", "data/x/y", "ab/c"};
  for (const char* argument : refused) {
    EXPECT_EQ(derive_output_dir(argument), std::nullopt) << argument;
  }
}

TEST(OutputDir, ReasonNamesASeparatorAmongTheDroppedCharacters) {
  EXPECT_NE(no_output_dir_reason("home/pak").find("path separator"), std::string::npos);
  EXPECT_EQ(no_output_dir_reason("abcd").find("path separator"), std::string::npos);
}

TEST(PlaceOfFile, SplitsAPathIntoItsFolderAndItsOwnName) {
  const struct {
    const char* path;
    std::optional<file_place> place;
  } cases[] = {
      {"new.dat", file_place{".", "new.dat"}},
      {"out/new.dat", file_place{"out/", "new.dat"}},
      {"/new.dat", file_place{"/", "new.dat"}},
      {"a/b/.n", file_place{"a/b/", ".n"}},
      {"out/", std::nullopt},
      {"out/..", std::nullopt},
      {".", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<file_place> place = place_of_file(c.path);
    ASSERT_EQ(place.has_value(), c.place.has_value()) << c.path;
    if (!place) continue;
    EXPECT_EQ(place->folder, c.place->folder) << c.path;
    EXPECT_EQ(place->name, c.place->name) << c.path;
  }
}

}  // namespace
}  // namespace darvex
