#include <gtest/gtest.h>

#include <string>

#include "archive_writer.hpp"
#include "cli/dropped_folder.hpp"
#include "cli/front_end.hpp"
#include "platform/traits.hpp"
#include "scratch.hpp"

namespace darvex {
namespace {

using namespace test_support;

TEST(DroppedFolder, TheArchiveIsTheOneFileBesideItThatExtractsIntoIt) {
  const std::vector<std::string> files = {"A.dat", "B.dat", "AB.dat", "A.d", "A", "a.pak", "A.dat.bak", "xA.dat"};
  const archive_choice choice = choose_archive("A", files);
  const std::vector<std::string> expected =
      platform::NAMES_IGNORE_CASE ? std::vector<std::string>{"A.dat", "a.pak"} : std::vector<std::string>{"A.dat"};
  EXPECT_EQ(choice.archives, expected);
  EXPECT_EQ(choice.fallback, "A.dat");
  EXPECT_EQ(choose_archive("B", {"B.pak", "B.dat"}).archives, (std::vector<std::string>{"B.dat", "B.pak"}));
  EXPECT_TRUE(choose_archive("C", files).archives.empty());
  EXPECT_EQ(choose_archive("C", files).fallback, "C.dat");
}

class DroppedFolderRun : public ::testing::Test {
 protected:
  DroppedFolderRun() : here_(dir_.path()) {
    test_archive archive;
    archive.after_index = "bytes after the index";
    archive.entries = {entry("readme.txt", "read me"), entry("data\\level.xml", text_like(20000, 3))};
    archive.write_to((dir_ / "A.dat").string());
    original_ = read_file(dir_ / "A.dat");
    const std::vector<std::string> extract = {"-q", "A.dat"};
    EXPECT_EQ(run_front_end(extract), 0);
  }

  exit_status drop(const std::string& folder, bool quiet = true) {
    console screen(quiet);
    bool in_place = false;
    return pack_dropped_folder(folder, screen, in_place);
  }

  scratch_dir dir_;
  working_dir here_;
  std::string original_;
};

TEST_F(DroppedFolderRun, RepacksItsArchiveLikeItselfAndKeepsTheFirstBackupOnly) {
  EXPECT_EQ(drop("A"), exit_status::ok);
  EXPECT_EQ(read_file(dir_ / "A.dat"), original_) << "an untouched extraction packs back byte for byte";
  EXPECT_EQ(read_file(dir_ / "A.dat.bak"), original_);

  write_file(dir_ / "A" / "readme.txt", "changed");
  EXPECT_EQ(drop(platform::BACKSLASH_SEPARATES ? "A\\" : "A/"), exit_status::ok);
  const std::string changed = read_file(dir_ / "A.dat");
  EXPECT_NE(changed, original_);
  EXPECT_EQ(changed.substr(0, 8), "DARVTEST") << "packed --like the archive: its header kept";

  write_file(dir_ / "A" / "readme.txt", "changed again");
  EXPECT_EQ(drop("A"), exit_status::ok);
  EXPECT_NE(read_file(dir_ / "A.dat"), changed);
  EXPECT_EQ(read_file(dir_ / "A.dat.bak"), original_) << "a backup already there is never overwritten";
}

TEST_F(DroppedFolderRun, SeveralArchivesBesideItWriteNothingAndNoneMakesFolderDotDat) {
  write_file(dir_ / "A.pak", "another");
  const std::vector<std::string> before = list_tree(dir_.path());
  EXPECT_EQ(drop("A"), exit_status::stopped);
  EXPECT_EQ(list_tree(dir_.path()), before);
  EXPECT_EQ(read_file(dir_ / "A.dat"), original_);

  std::filesystem::rename(dir_ / "A", dir_ / "B");
  EXPECT_EQ(drop("B"), exit_status::ok);
  EXPECT_EQ(read_file(dir_ / "B.dat").substr(0, 8), std::string(8, '\0')) << "made from table.bin, not --like";
  EXPECT_FALSE(std::filesystem::exists(dir_ / "B.dat.bak"));
  const std::vector<std::string> check = {"-t", "-q", "B.dat"};
  EXPECT_EQ(run_front_end(check), 0);
}

TEST_F(DroppedFolderRun, AFailedRepackLeavesTheArchiveAndMakesNoBackup) {
  write_file(dir_ / "A" / "huge.bin", std::string(13107201, 'h'));  // past the entry buffer
  EXPECT_EQ(drop("A"), exit_status::stopped);
  EXPECT_EQ(read_file(dir_ / "A.dat"), original_);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "A.dat.bak"));
}

// Once the new archive has taken the old one's name, the old one is kept as NAME.bak whatever
// fails or stops the run after that; a run stopped before that keeps none.
TEST_F(DroppedFolderRun, TheReplacedArchiveIsKeptWhateverEndsTheRunOnceTheNewOneIsInPlace) {
  const exit_status endings[] = {exit_status::incomplete, exit_status::stopped};
  for (const exit_status ending : endings) {
    SCOPED_TRACE(static_cast<int>(ending));
    std::filesystem::remove(dir_ / "A.dat.bak");
    write_file(dir_ / "A.dat", original_);
    write_file(dir_ / "A" / "readme.txt", "changed " + std::to_string(static_cast<int>(ending)));
    const auto then_fails = [&](const options& chosen, console& screen, bool& in_place) {
      const exit_status made = run_create(chosen, screen, in_place);
      return in_place ? ending : made;
    };
    console screen(true);
    bool in_place = false;
    EXPECT_EQ(pack_dropped_folder("A", screen, in_place, then_fails), ending);
    EXPECT_TRUE(in_place);
    EXPECT_NE(read_file(dir_ / "A.dat"), original_);
    EXPECT_EQ(read_file(dir_ / "A.dat.bak"), original_);
  }
  std::filesystem::remove(dir_ / "A.dat.bak");
  const std::string packed = read_file(dir_ / "A.dat");
  const auto stopped_early = [](const options&, console&, bool& in_place) {
    in_place = false;
    return exit_status::stopped;
  };
  console screen(true);
  bool in_place = false;
  EXPECT_EQ(pack_dropped_folder("A", screen, in_place, stopped_early), exit_status::stopped);
  EXPECT_EQ(read_file(dir_ / "A.dat"), packed);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "A.dat.bak"));
}

TEST_F(DroppedFolderRun, AFolderGivenAsAnArchiveNamesTheCommandThatPacksIt) {
  EXPECT_EQ(packing_command("A"), "DarvEx -c A.dat --like A.dat A");
  write_file(dir_ / "my game.dat", "");
  std::filesystem::create_directory(dir_ / "my game");
  EXPECT_EQ(packing_command("my game"), "DarvEx -c \"my game.dat\" --like \"my game.dat\" \"my game\"");
  std::filesystem::create_directory(dir_ / "sub");
  EXPECT_EQ(packing_command("sub"), "DarvEx -c sub.dat sub");
  const problem folder{problem_kind::archive, "sub", "cannot open", EISDIR};
  EXPECT_EQ(with_packing_command(folder).reason,
            "cannot open: " + platform::error_text(EISDIR) + " (to pack the folder: DarvEx -c sub.dat sub)");
  const problem missing{problem_kind::archive, "gone.dat", "cannot open", ENOENT};
  EXPECT_EQ(with_packing_command(missing).reason, "cannot open");
}

}  // namespace
}  // namespace darvex
