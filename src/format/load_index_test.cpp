#include <gtest/gtest.h>

#include "archive_writer.hpp"
#include "format/archive.hpp"
#include "scratch.hpp"

namespace darvex {
namespace {

using test_support::entry;
using test_support::test_archive;

class LoadIndex : public ::testing::Test {
 protected:
  // Writes `bytes` as the archive and runs load_index on it.
  maybe_problem load_bytes(const std::string& bytes) {
    test_support::write_file(dir_ / "a.dat", bytes);
    return load_written();
  }
  maybe_problem load(const test_archive& archive) {
    archive.write_to((dir_ / "a.dat").string());
    return load_written();
  }
  std::string index_bytes() const {
    return std::string(reinterpret_cast<const char*>(index_.bytes.get()), INDEX_BUFFER_SIZE);
  }

  maybe_problem load_written() {
    archive_ = archive_file();
    if (auto failure = archive_.open((dir_ / "a.dat").string())) return failure;
    return load_index(archive_, inflate_, index_);
  }

  test_support::scratch_dir dir_;
  archive_file archive_;
  inflater inflate_;
  loaded_index index_;
};

test_archive two_entries() {
  test_archive archive;
  archive.entries = {entry("a.txt", "alpha"), entry("b.bin", std::string(1000, 'b'))};
  return archive;
}

std::string padded(std::string index) {
  index.resize(INDEX_BUFFER_SIZE, '\0');
  return index;
}

TEST_F(LoadIndex, HoldsTheInflatedIndexThenZerosToItsFixedSize) {
  const test_archive archive = two_entries();
  ASSERT_EQ(load(archive), std::nullopt);
  EXPECT_EQ(check_index(archive_, index_), std::nullopt);
  EXPECT_TRUE(index_bytes() == padded(archive.inflated_index()));
  EXPECT_EQ(index_.index_offset, archive.stream_offsets().back());
}

TEST_F(LoadIndex, HeaderBytesAndBytesAfterTheIndexStreamChangeNothing) {
  test_archive archive = two_entries();
  archive.header = std::string("\xFF\x00\x7F\x80\x01\xFE\x00\xFF", 8);
  archive.gap = "not interpreted either";
  archive.after_index = std::string(5000, '\x5A');
  ASSERT_EQ(load(archive), std::nullopt);
  EXPECT_EQ(check_index(archive_, index_), std::nullopt);
  EXPECT_TRUE(index_bytes() == padded(archive.inflated_index()));
}

TEST_F(LoadIndex, IndexLyingAboveTwoGibibytesIsFound) {
  test_archive archive = two_entries();
  archive.data_start = 0xB0000000u;  // a sparse hole of 2.75 GiB before the entries
  ASSERT_EQ(load(archive), std::nullopt);
  EXPECT_EQ(index_.index_offset, archive.stream_offsets().back());
  EXPECT_GT(index_.index_offset, 0x80000000u);
  EXPECT_TRUE(index_bytes() == padded(archive.inflated_index()));
}

TEST_F(LoadIndex, ArchivesWhoseIndexCannotBeReadStop) {
  test_archive past_end = two_entries();
  past_end.index_offset = 1u << 30;
  test_archive too_long = two_entries();
  too_long.after_index = std::string(INDEX_BUFFER_SIZE, '\0');
  const struct {
    const char* label;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"empty archive", "", "index offset 4294967295 lies past the end of the archive (0 bytes)"},
      {"5 bytes", "DARVT", "past the end"},
      {"11 bytes, offset field cut short", std::string("DARVTEST\0\0\0", 11), "index offset 255 lies past"},
      {"offset past the end", past_end.bytes(), "index offset 1073741824 lies past the end"},
      {"compressed index longer than its buffer", too_long.bytes(), "exceeds the 524288-byte index buffer"},
  };
  for (const auto& c : cases) {
    const maybe_problem result = load_bytes(c.bytes);
    ASSERT_NE(result, std::nullopt) << c.label;
    EXPECT_EQ(result->path, (dir_ / "a.dat").string());
    EXPECT_NE(result->reason.find(c.reason), std::string::npos) << c.label << ": " << result->reason;
  }
}

TEST_F(LoadIndex, IndexThatDoesNotInflateCompletelyKeepsWhatCameBeforeTheDamage) {
  const std::string index = two_entries().inflated_index();
  const std::string stream = test_support::zlib_compress(index);
  test_archive truncated = two_entries();
  truncated.index_stream = stream.substr(0, stream.size() - 6);
  test_archive damaged = two_entries();
  damaged.index_stream = stream;
  (*damaged.index_stream)[stream.size() - 1] ^= 0x55;  // the checksum no longer matches
  test_archive oversized = two_entries();
  oversized.index_tail = test_support::text_like(2 * INDEX_BUFFER_SIZE, 7);
  test_archive empty = two_entries();
  empty.index_stream = "";

  // The index's stream runs to the end of the file: one that ends first was cut with the file.
  const struct {
    const test_archive* archive;
    const char* reason;
  } cases[] = {
      {&truncated, "the archive is cut short: the file ends inside its index, "},
      {&empty, "the archive is cut short: the file ends inside its index, 0 bytes of it inflated"},
      {&damaged, "index does not inflate: damaged"},
      {&oversized, "index does not inflate: stream inflates to more than"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(load(*c.archive), std::nullopt);
    const maybe_problem checked = check_index(archive_, index_);
    ASSERT_NE(checked, std::nullopt);
    EXPECT_EQ(checked->kind, problem_kind::index);
    EXPECT_EQ(checked->reason.rfind(c.reason, 0), 0u) << checked->reason;
  }
  // The last one, an index too large for the buffer, keeps its first INDEX_BUFFER_SIZE bytes.
  EXPECT_TRUE(index_bytes() == oversized.inflated_index().substr(0, INDEX_BUFFER_SIZE));
  // A damaged checksum still leaves the whole index, and zeros after it.
  ASSERT_EQ(load(damaged), std::nullopt);
  EXPECT_TRUE(index_bytes() == padded(index));
}

}  // namespace
}  // namespace darvex
