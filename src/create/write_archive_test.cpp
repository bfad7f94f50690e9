#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>

#include "archive_writer.hpp"
#include "create/original_archive.hpp"
#include "create/read_back.hpp"
#include "create/write_archive.hpp"
#include "scratch.hpp"

namespace darvex {
namespace {

using test_support::entry;
using test_support::test_archive;
namespace fs = std::filesystem;

class quiet_listener final : public pack_listener {
 public:
  void entry_packed(const packed_entry& entry) override { fates.push_back(entry.fate); }
  std::vector<entry_fate> fates;
};

// An original archive, extracted by hand into in/, packed again with write_archive.
class WriteArchive : public ::testing::Test {
 protected:
  void SetUp() override {
    archive_.gap = "before the first entry";
    archive_.entries = {entry("a.txt", "alpha"), entry("sub\\b.txt", test_support::text_like(5000, 1)),
                        entry("c.bin", test_support::incompressible(3000, 2))};
    archive_.entries[1].stream += "bytes after the stream";
    archive_.write_to((dir_ / "old.dat").string());
    fs::create_directories(dir_ / "in/sub");
    test_support::write_file(dir_ / "in/a.txt", "alpha");
    test_support::write_file(dir_ / "in/sub/b.txt", test_support::text_like(5000, 1));
    test_support::write_file(dir_ / "in/c.bin", test_support::incompressible(3000, 2));
  }

  // Packs in/ like old.dat with `jobs` workers; the bytes written.
  std::string pack(unsigned jobs) {
    EXPECT_FALSE(read_original((dir_ / "old.dat").string(), original_));
    EXPECT_EQ(folder_.open((dir_ / "in").string()), 0);
    EXPECT_FALSE(scan_folder(folder_, "in", {}, files_));
    EXPECT_FALSE(plan_pack(*index_image::parse(original_.index), &original_.layout, files_, {}, "in", plan_));
    platform::directory out;
    EXPECT_EQ(out.open(dir_.path().string()), 0);
    platform::temporary_file made;
    EXPECT_EQ(out.create_temporary(made), 0);
    const pack_sources sources{folder_, "in", files_, &original_.file, &original_.index};
    EXPECT_FALSE(
        write_archive(plan_, sources, {6, jobs, platform::never_stop}, made.handle(), "new.dat", listener_, written_));
    EXPECT_EQ(made.complete(), 0);
    platform::file_handle reading;
    EXPECT_EQ(made.open_for_reading(reading), 0);
    std::string bytes(written_.size, '\0');
    std::size_t got = 0;
    EXPECT_EQ(platform::read_at(reading, 0, bytes.data(), bytes.size(), got), 0);
    return bytes;
  }

  // read_back on `bytes` as the archive written.
  maybe_problem read_back_of(const std::string& bytes) {
    test_support::write_file(dir_ / "check.dat", bytes);
    platform::file_handle file;
    platform::file_type type;
    EXPECT_EQ(platform::open_for_reading((dir_ / "check.dat").string(), file, type), 0);
    return read_back(std::move(file), "check.dat", written_, 2, platform::never_stop);
  }

  test_support::scratch_dir dir_;
  test_archive archive_;
  original_archive original_;
  platform::directory folder_;
  std::vector<source_file> files_;
  pack_plan plan_;
  quiet_listener listener_;
  written_archive written_;
};

TEST_F(WriteArchive, AnUntouchedExtractionIsWrittenBackByteForByteAndReadsBack) {
  const std::string bytes = pack(3);
  EXPECT_TRUE(bytes == archive_.bytes());
  EXPECT_EQ(listener_.fates, (std::vector<entry_fate>{entry_fate::kept, entry_fate::kept, entry_fate::kept}));
  EXPECT_FALSE(read_back_of(bytes));
}

TEST_F(WriteArchive, ReadBackFindsAnyByteThatDiffersFromWhatWasWritten) {
  test_support::write_file(dir_ / "in/a.txt", "changed");  // a new stream; the others kept
  const std::string bytes = pack(1);
  EXPECT_EQ(listener_.fates, (std::vector<entry_fate>{entry_fate::packed, entry_fate::kept, entry_fate::kept}));
  ASSERT_FALSE(read_back_of(bytes));
  const struct {
    const char* where;
    std::size_t at;
    const char* reason;
  } cases[] = {
      {"the header's unread bytes", 0, "header or index differs"},
      {"a new stream", static_cast<std::size_t>(written_.checks[0].start + 4), "entry 1 (a.txt)"},
      {"a kept span's bytes after its stream",
       static_cast<std::size_t>(written_.checks[1].start + written_.checks[1].stored - 1), "entry 2 (sub\\b.txt)"},
      {"the compressed index", bytes.size() - 3, "index"},
  };
  for (const auto& c : cases) {
    std::string damaged = bytes;
    damaged[c.at] = static_cast<char>(damaged[c.at] ^ 0x20);
    const maybe_problem failure = read_back_of(damaged);
    ASSERT_TRUE(failure) << c.where;
    EXPECT_NE(failure->reason.find(c.reason), std::string::npos) << c.where << ": " << failure->reason;
  }
}

// A record refused for an offset past the index points as far past the new index as it did
// past the old one, so that it stays refused for the same reason: shifted when the data before
// the index grows, left where it is when that is still past the index.
TEST_F(WriteArchive, ARecordPastTheIndexStaysAsFarPastItWhetherTheDataGrowsOrShrinks) {
  archive_.entries.push_back(entry("far.txt", ""));
  archive_.write_to((dir_ / "old.dat").string());
  ASSERT_FALSE(read_original((dir_ / "old.dat").string(), original_));
  const std::uint32_t old_index = original_.layout.index_offset;
  archive_.entries.back().offset = old_index + 7;
  archive_.write_to((dir_ / "old.dat").string());
  const struct {
    const char* what;
    std::string c_bin;  // the new content of in/c.bin, 3000 incompressible bytes before
    bool shifted;
  } cases[] = {
      {"grows", test_support::incompressible(9000, 3), true},
      {"shrinks", "short", false},
  };
  for (const auto& c : cases) {
    test_support::write_file(dir_ / "in/c.bin", c.c_bin);
    files_.clear();
    const std::string bytes = pack(2);
    const std::uint32_t new_index = written_.index_offset;
    const std::uint32_t far = index_image::parse(written_.index)->records()[3].offset;
    EXPECT_EQ(far, c.shifted ? new_index + 7 : old_index + 7) << c.what << ": new index at " << new_index;
    EXPECT_GT(far, new_index) << c.what;
    EXPECT_FALSE(read_back_of(bytes)) << c.what;
  }
}

}  // namespace
}  // namespace darvex
