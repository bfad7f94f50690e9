#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "archive_writer.hpp"
#include "format/archive.hpp"
#include "format/index_image.hpp"

namespace darvex {
namespace {

using test_support::entry;
using test_support::test_archive;

struct read_record {
  std::string name;
  std::uint32_t offset, size;
  bool operator==(const read_record&) const = default;
};

// The records the reader parses from `bytes`, as extraction would load them.
std::vector<read_record> reader_records(const std::string& bytes) {
  loaded_index index;
  index.bytes.reset(new unsigned char[INDEX_BUFFER_SIZE]());
  std::memcpy(index.bytes.get(), bytes.data(), std::min(bytes.size(), INDEX_BUFFER_SIZE));
  const auto table = std::make_unique<entry_table>();
  std::uint32_t count = 0;
  EXPECT_FALSE(read_entry_table(archive_file(), index, *table, count));
  std::vector<read_record> records;
  for (std::uint32_t i = 0; i < count; ++i) records.push_back({table->names[i], table->offsets[i], table->sizes[i]});
  return records;
}

std::vector<read_record> image_records(const index_image& image) {
  std::vector<read_record> records;
  for (const auto& r : image.records()) records.push_back({r.name, r.offset, r.size});
  return records;
}

test_archive three_with_unread_bytes() {
  test_archive archive;
  archive.entries = {entry("a.txt", "alpha"), entry("dir\\b.bin", std::string(70, 'b')), entry("c", "")};
  archive.index_head = "HEAD01";
  archive.index_gap = "sixteen unread b";
  archive.trailer = std::string("trailer of 17 b\x01\xFF", 17);
  archive.index_tail = "tail";
  return archive;
}

TEST(IndexImage, ReadsTheRecordsTheReaderReadsAndGivesBackTheSameBytes) {
  const struct {
    const char* what;
    test_archive archive;
  } cases[] = {
      {"records with unread bytes and a tail", three_with_unread_bytes()},
      {"more records counted than written",
       [] {
         test_archive a = three_with_unread_bytes();
         a.entry_count = 40;
         return a;
       }()},
      {"a name with a zero byte",
       [] {
         test_archive a;
         a.entries = {entry(std::string("x\0y", 3), "z")};
         return a;
       }()},
  };
  for (const auto& c : cases) {
    const std::string bytes = c.archive.inflated_index();
    std::optional<index_image> image = index_image::parse(bytes);
    ASSERT_TRUE(image) << c.what;
    EXPECT_EQ(image_records(*image), reader_records(bytes)) << c.what;
    for (std::size_t i = 0; i < image->records().size(); ++i) {
      image->set_fields(i, image->records()[i].offset, image->records()[i].size);
    }
    EXPECT_TRUE(image->bytes() == bytes) << c.what;
  }
}

TEST(IndexImage, EditsKeepEveryUnreadByteAndTheReaderAgrees) {
  const test_archive archive = three_with_unread_bytes();
  index_image image = *index_image::parse(archive.inflated_index());
  image.set_fields(0, 0x01020304, 99);
  image.remove(1);
  image.add("new\\file.txt", 7, 8);
  EXPECT_EQ(image_records(image),
            (std::vector<read_record>{
                {"a.txt", 0x01020304, 99}, {"c", image.records()[1].offset, 0}, {"new\\file.txt", 7, 8}}));
  EXPECT_EQ(reader_records(image.bytes()), image_records(image));
  const std::string& bytes = image.bytes();
  EXPECT_EQ(bytes.substr(0, 6), "HEAD01");
  EXPECT_EQ(bytes.substr(10, 16), "sixteen unread b");
  EXPECT_EQ(bytes.substr(bytes.size() - 4), "tail");
  // Kept records keep their trailers; an added one has zeros.
  const std::string trailer = archive.trailer;
  EXPECT_EQ(bytes.substr(26 + 1 + 5 + 8, 17), trailer);
  EXPECT_EQ(bytes.substr(bytes.size() - 4 - 17, 17), std::string(17, '\0'));
}

TEST(IndexImage, RecordsInThePaddingAreWrittenOnlyWhereAValueChanges) {
  test_archive archive;
  archive.entry_count = 3;  // none written: all three read from the zero padding
  const std::string bytes = archive.inflated_index();
  index_image image = *index_image::parse(bytes);
  ASSERT_EQ(image.records().size(), 3u);
  image.set_fields(1, 0, 0);
  EXPECT_TRUE(image.bytes() == bytes);
  image.set_fields(2, 0, 5);
  EXPECT_EQ(image.bytes().size(), 26u + 3 * 26u - 17u);
  EXPECT_EQ(reader_records(image.bytes())[2], (read_record{"", 0, 5}));
}

TEST(IndexImage, RefusesMoreEntriesThanTheTableHolds) {
  test_archive archive;
  archive.entry_count = MAX_ENTRIES + 1;
  EXPECT_FALSE(index_image::parse(archive.inflated_index()));
  archive.entry_count = MAX_ENTRIES;
  EXPECT_TRUE(index_image::parse(archive.inflated_index()));
}

TEST(IndexImage, ADumpLosesOnlyTheZerosAfterItsRecordsAndTail) {
  const struct {
    std::string tail;
    std::size_t length_after_records;
  } cases[] = {{"", 0}, {"tail", 4}, {std::string("t\0\0x\0\0", 6), 4}};
  for (const auto& c : cases) {
    test_archive archive = three_with_unread_bytes();
    archive.index_tail = c.tail;
    std::string dump = archive.inflated_index();
    const std::size_t records_end = dump.size() - c.tail.size();
    dump.resize(INDEX_BUFFER_SIZE, '\0');
    const std::optional<index_image> image = index_image::from_dump(dump);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bytes().size(), records_end + c.length_after_records) << c.tail.size();
  }
}

}  // namespace
}  // namespace darvex
