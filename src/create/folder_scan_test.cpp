#include <gtest/gtest.h>

#include <filesystem>

#include "create/folder_scan.hpp"
#include "scratch.hpp"

namespace darvex {
namespace {

namespace fs = std::filesystem;
using test_support::write_file;

class FolderScan : public ::testing::Test {
 protected:
  maybe_problem scan(const std::vector<std::string>& excludes = {}) {
    platform::directory root;
    EXPECT_EQ(root.open((dir_ / "in").string()), 0);
    return scan_folder(root, "in", excludes, {}, files_);
  }
  std::vector<std::string> stored_names() const {
    std::vector<std::string> names;
    for (const source_file& file : files_) names.push_back(file.stored_name);
    return names;
  }

  test_support::scratch_dir dir_;
  std::vector<source_file> files_;
};

TEST_F(FolderScan, FindsEveryFileSortedByItsPartsWithItsSizeNamedAsArchivesStoreNames) {
  fs::create_directories(dir_ / "in/b/c");
  fs::create_directories(dir_ / "in/empty");
  write_file(dir_ / "in/b.txt", "12345");
  write_file(dir_ / "in/b/c/d.bin", "");
  write_file(dir_ / "in/a", "1");
  write_file(dir_ / "in/b/z", "22");
  ASSERT_FALSE(scan());
  EXPECT_EQ(stored_names(), (std::vector<std::string>{"a", "b\\c\\d.bin", "b\\z", "b.txt"}));
  EXPECT_EQ(files_[3].size, 5u);
  EXPECT_EQ(files_[1].key, "b/c/d.bin");
}

TEST_F(FolderScan, LeavesOutWhatExcludesTakeAndRefusesNamesAnArchiveCannotGiveBack) {
  fs::create_directories(dir_ / "in/backup");
  write_file(dir_ / "in/keep.txt", "k");
  write_file(dir_ / "in/old.bak", "b");
  write_file(dir_ / "in/backup/x.txt", "x");
  ASSERT_FALSE(scan({"*.bak", "backup"}));
  EXPECT_EQ(stored_names(), std::vector<std::string>{"keep.txt"});

  const struct {
    std::string name;
    const char* reason;
  } refused[] = {
      {"back\\slash", "would not extract to this file"},
      {std::string(200, 'd') + "/" + std::string(60, 'f'), "longer than the 255 bytes"},
  };
  for (const auto& c : refused) {
    fs::remove_all(dir_ / "in");
    fs::create_directories((dir_ / "in" / c.name).parent_path());
    write_file(dir_ / "in" / c.name, "x");
    const maybe_problem failure = scan();
    ASSERT_TRUE(failure) << c.name;
    EXPECT_NE(failure->reason.find(c.reason), std::string::npos) << failure->reason;
  }
}

}  // namespace
}  // namespace darvex
