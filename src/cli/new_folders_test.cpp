#include <gtest/gtest.h>

#include "cli/new_folders.hpp"
#include "platform/traits.hpp"
#include "scratch.hpp"

namespace darvex {
namespace {

using folders = std::vector<std::string>;

TEST(NewFolders, ChainNamesEachFolderThePathGoesThrough) {
  const struct {
    std::string path;
    bool with_parents;
    folders chain;
  } cases[] = {
      {"out", true, {"out"}},
      {"a/b/c", true, {"a", "a/b", "a/b/c"}},
      {"a/b/c", false, {"a/b/c"}},
      {"a//b/./c/", true, {"a", "a//b", "a//b/./c"}},
      {"a/b/../c", true, {"a", "a/b", "a/b/../c"}},
      {"/tmp/x", true, {"/tmp", "/tmp/x"}},
      {"../up", true, {"../up"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(folder_chain(c.path, c.with_parents), c.chain) << c.path;
  }
  if (platform::BACKSLASH_SEPARATES) {
    EXPECT_EQ(folder_chain("C:\\games\\out", true), (folders{"C:", "C:\\games", "C:\\games\\out"}));
  }
}

TEST(NewFolders, OnlyFoldersStillMissingAreTakenBackAndOnlyWhileEmpty) {
  namespace fs = std::filesystem;
  const test_support::scratch_dir dir;
  const test_support::working_dir inside(dir.path());
  fs::create_directories("a");
  const folders missing = missing_folders("a/b/c/d", true);
  EXPECT_EQ(missing, (folders{"a/b", "a/b/c", "a/b/c/d"}));
  fs::create_directories("a/b/c/d");
  test_support::write_file("a/b/keep.txt", "not the run's");
  remove_while_empty(missing);
  EXPECT_FALSE(fs::exists("a/b/c"));
  EXPECT_TRUE(fs::exists("a/b/keep.txt")) << "a folder holding anything stays";
  EXPECT_TRUE(fs::exists("a")) << "a folder that was there before stays";
  EXPECT_EQ(missing_folders("a", false), folders{});
}

}  // namespace
}  // namespace darvex
