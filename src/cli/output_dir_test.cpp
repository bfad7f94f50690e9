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

}  // namespace
}  // namespace darvex
