#include <gtest/gtest.h>

#include <filesystem>

#include "archive/archive.hpp"
#include "archive_writer.hpp"
#include "scratch.hpp"

namespace darvex {
namespace {

using testing::entry;
using testing::read_file;
using testing::test_archive;

class LoadIndex : public ::testing::Test {
 protected:
  // Writes `archive` and runs load_index on it with the scratch directory as working directory.
  stage_result load(const test_archive& archive) {
    archive.write_to((dir_ / "a.dat").string());
    return load_file();
  }
  stage_result load_bytes(const std::string& bytes) {
    testing::write_file(dir_ / "a.dat", bytes);
    return load_file();
  }
  std::string table() const { return read_file(dir_ / "table.bin"); }
  bool table_exists() const { return std::filesystem::exists(dir_ / "table.bin"); }

  testing::scratch_dir dir_;
  testing::working_dir inside_{dir_.path()};
  std::unique_ptr<run_state> state_{new run_state};

 private:
  stage_result load_file() {
    state_->archive_path = "a.dat";
    state_->archive = open_file("a.dat", "rb");
    working_buffers buffers;
    return load_index(*state_, buffers);
  }
};

test_archive two_entries() {
  test_archive archive;
  archive.entries = {entry("a.txt", "alpha"), entry("b.bin", std::string(1000, 'b'))};
  return archive;
}

TEST_F(LoadIndex, TableHoldsTheInflatedIndexThenZerosToItsFixedSize) {
  const test_archive archive = two_entries();
  ASSERT_EQ(load(archive), std::nullopt);
  const std::string index = archive.inflated_index();
  const std::string written = table();
  ASSERT_EQ(written.size(), INDEX_BUFFER_SIZE);
  EXPECT_TRUE(written.substr(0, index.size()) == index);
  EXPECT_EQ(written.find_first_not_of('\0', index.size()), std::string::npos);
  EXPECT_EQ(state_->index_offset, archive.stream_offsets().back());
  ASSERT_NE(state_->table, nullptr);
  EXPECT_EQ(std::ftell(state_->table.get()), 0);
}

TEST_F(LoadIndex, HeaderBytesAndBytesAfterTheIndexStreamChangeNothing) {
  test_archive archive = two_entries();
  archive.header = std::string("\xFF\x00\x7F\x80\x01\xFE\x00\xFF", 8);
  archive.gap = "not interpreted either";
  archive.after_index = std::string(5000, '\x5A');
  ASSERT_EQ(load(archive), std::nullopt);
  std::string expected = archive.inflated_index();
  expected.resize(INDEX_BUFFER_SIZE, '\0');
  EXPECT_TRUE(table() == expected);
}

TEST_F(LoadIndex, ReplacesATableLeftByAnEarlierRun) {
  testing::write_file(dir_ / "table.bin", std::string(INDEX_BUFFER_SIZE + 100, '\x77'));
  const test_archive archive = two_entries();
  ASSERT_EQ(load(archive), std::nullopt);
  const std::string written = table();
  ASSERT_EQ(written.size(), INDEX_BUFFER_SIZE);
  EXPECT_EQ(written.find('\x77'), std::string::npos);
}

TEST_F(LoadIndex, IndexLyingAboveTwoGibibytesIsFound) {
  test_archive archive = two_entries();
  archive.data_start = 0xB0000000u;  // a sparse hole of 2.75 GiB before the entries
  ASSERT_EQ(load(archive), std::nullopt);
  EXPECT_EQ(state_->index_offset, archive.stream_offsets().back());
  EXPECT_GT(state_->index_offset, 0x80000000u);
  EXPECT_TRUE(table().substr(0, archive.inflated_index().size()) == archive.inflated_index());
}

TEST_F(LoadIndex, ArchivesWhoseIndexCannotBeReadStopWithoutATable) {
  test_archive past_end = two_entries();
  past_end.index_offset = 1u << 30;
  test_archive too_long = two_entries();
  too_long.after_index = std::string(INDEX_BUFFER_SIZE, '\0');
  const struct {
    const char* label;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"empty archive", "", "past the end"},
      {"5 bytes", "DARVT", "past the end"},
      {"11 bytes, offset field cut short", std::string("DARVTEST\0\0\0", 11), "past the end"},
      {"offset past the end", past_end.bytes(), "past the end"},
      {"compressed index longer than its buffer", too_long.bytes(), "exceeds"},
  };
  for (const auto& c : cases) {
    const std::string reason = load_bytes(c.bytes).value_or(problem{}).reason;
    EXPECT_NE(reason.find(c.reason), std::string::npos) << c.label << ": " << reason;
    EXPECT_FALSE(table_exists()) << c.label;
  }
}

TEST_F(LoadIndex, IndexThatDoesNotInflateCompletelyIsStillWrittenThenStops) {
  const std::string index = two_entries().inflated_index();
  const std::string stream = testing::zlib_compress(index);
  test_archive truncated = two_entries();
  truncated.index_stream = stream.substr(0, stream.size() - 6);
  test_archive damaged = two_entries();
  damaged.index_stream = stream;
  (*damaged.index_stream)[stream.size() - 1] ^= 0x55;  // the checksum no longer matches
  test_archive oversized = two_entries();
  oversized.index_tail = testing::text_like(2 * INDEX_BUFFER_SIZE, 7);
  test_archive empty = two_entries();
  empty.index_stream = "";

  for (const test_archive* archive : {&truncated, &damaged, &empty, &oversized}) {
    const stage_result result = load(*archive);
    ASSERT_NE(result, std::nullopt);
    EXPECT_NE(result->reason.find("index does not inflate"), std::string::npos) << result->reason;
    ASSERT_EQ(table().size(), INDEX_BUFFER_SIZE);
    EXPECT_EQ(state_->table, nullptr);
  }
  // The last one, an index too large for the buffer, leaves its first INDEX_BUFFER_SIZE bytes.
  EXPECT_TRUE(table() == oversized.inflated_index().substr(0, INDEX_BUFFER_SIZE));
}

TEST_F(LoadIndex, TableThatCannotBeCreatedStops) {
  std::filesystem::create_directory(dir_ / "table.bin");
  const stage_result result = load(two_entries());
  ASSERT_NE(result, std::nullopt);
  EXPECT_EQ(result->subject, "\"table.bin\"");
  EXPECT_NE(result->reason.find("cannot create"), std::string::npos);
}

}  // namespace
}  // namespace darvex
