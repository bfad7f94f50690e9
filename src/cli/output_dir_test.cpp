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
      {"x.tar.gz", "x.ta"},
      {"abcde", "a"},
      {"a b.dat", "a b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(derive_output_dir(c.argument), std::optional<std::string>(c.output_dir)) << c.argument;
  }
}

TEST(OutputDir, ArgumentsThatLeaveNoDirectoryOfTheirOwnAreRefused) {
  // Four bytes or fewer, or a result naming an existing directory (the parent, or itself).
  const char* const refused[] = {"", "a", "abcd", ".dat", "dir/.dat", "dir\\.dat",
                                 "dir/..abcd", "..abcd", ".abcd", "C:.dat"};
  for (const char* argument : refused) {
    EXPECT_EQ(derive_output_dir(argument), std::nullopt) << argument;
  }
}

}  // namespace
}  // namespace darvex
