#include <gtest/gtest.h>

#include <string>

#include "archive_writer.hpp"
#include "format/archive.hpp"

namespace darvex {
namespace {

using test_support::test_archive;
using test_support::test_entry;

struct parsed {
  std::unique_ptr<entry_table> entries{new entry_table};
  std::uint32_t entry_count = 0;
  maybe_problem result;
};

// Runs read_entry_table on an inflated index whose INDEX_BUFFER_SIZE bytes begin with
// `index_bytes`; the rest are zeros, as load_index leaves them.
parsed parse(const std::string& index_bytes) {
  loaded_index index;
  index.bytes.reset(new unsigned char[INDEX_BUFFER_SIZE]());
  std::copy(index_bytes.begin(), index_bytes.begin() + std::min(index_bytes.size(), INDEX_BUFFER_SIZE),
            index.bytes.get());
  parsed out;
  out.result = read_entry_table(archive_file(), index, *out.entries, out.entry_count);
  return out;
}

test_entry record(std::string name, std::uint32_t offset, std::uint32_t size) {
  return {std::move(name), "", size, offset};
}

TEST(ReadEntryTable, RecordsFillTheirSlots) {
  const struct {
    const char* label;
    std::string name;       // as stored
    std::string slot_name;  // as the slot holds it, up to its zero byte
  } cases[] = {
      {"empty name", "", ""},
      {"one byte", "a", "a"},
      {"255 bytes", std::string(255, 'n'), std::string(255, 'n')},
      {"zero byte inside", std::string("ab\0cd", 5), "ab"},
      {"any bytes", "\xFF\x01 x/\\", "\xFF\x01 x/\\"},
  };
  for (const auto& c : cases) {
    test_archive archive;
    archive.entries = {record(c.name, 0x01020304, 0xA0B0C0D0), record("next", 77, 88)};
    const parsed p = parse(archive.inflated_index());
    ASSERT_EQ(p.result, std::nullopt) << c.label;
    const entry_table& t = *p.entries;
    EXPECT_EQ(p.entry_count, 2u) << c.label;
    EXPECT_EQ(std::string(t.names[0]), c.slot_name) << c.label;
    EXPECT_EQ(t.names[0][c.name.size()], '\0') << c.label;
    EXPECT_EQ(t.offsets[0], 0x01020304u) << c.label;
    EXPECT_EQ(t.sizes[0], 0xA0B0C0D0u) << c.label;
    EXPECT_EQ(std::string(t.names[1]), "next") << c.label;
    EXPECT_EQ(t.offsets[1], 77u) << c.label;
    EXPECT_EQ(t.sizes[1], 88u) << c.label;
  }
}

TEST(ReadEntryTable, UninterpretedBytesChangeNothing) {
  test_archive plain;
  plain.entries = {record("a", 100, 5), record("b", 200, 6)};
  test_archive noisy = plain;
  noisy.index_head = "\xFF\xEE\xDD\xCC\xBB\xAA";
  noisy.index_gap = std::string(16, '\x99');
  noisy.trailer = std::string(17, '\xFF');
  const parsed a = parse(plain.inflated_index());
  const parsed b = parse(noisy.inflated_index());
  ASSERT_EQ(b.result, std::nullopt);
  for (int i = 0; i < 2; ++i) {
    EXPECT_STREQ(a.entries->names[i], b.entries->names[i]);
    EXPECT_EQ(a.entries->offsets[i], b.entries->offsets[i]);
    EXPECT_EQ(a.entries->sizes[i], b.entries->sizes[i]);
  }
}

TEST(ReadEntryTable, RecordsBeyondTheIndexReadZeroPaddingThenFFPastTheEnd) {
  test_archive archive;
  archive.entries = {record("only", 9, 10)};
  archive.entry_count = 3;
  const parsed padded_table = parse(archive.inflated_index());
  ASSERT_EQ(padded_table.result, std::nullopt);
  EXPECT_EQ(padded_table.entry_count, 3u);
  for (int i = 1; i < 3; ++i) {
    EXPECT_STREQ(padded_table.entries->names[i], "");
    EXPECT_EQ(padded_table.entries->offsets[i], 0u);
    EXPECT_EQ(padded_table.entries->sizes[i], 0u);
  }
  // Records of 281 bytes: the 1,866th crosses the end of the INDEX_BUFFER_SIZE bytes, and past
  // it the name length reads 0xFF and so does every name byte and number.
  test_archive full;
  for (int i = 0; i < 1866; ++i) full.entries.push_back(record(std::string(255, 'n'), 1, 2));
  full.entry_count = 3500;
  const parsed past_end = parse(full.inflated_index());
  ASSERT_EQ(past_end.result, std::nullopt);
  EXPECT_EQ(std::string(past_end.entries->names[1864]), std::string(255, 'n'));
  EXPECT_EQ(past_end.entries->offsets[1864], 1u);
  EXPECT_EQ(std::string(past_end.entries->names[1866]), std::string(255, '\xFF'));
  EXPECT_EQ(past_end.entries->offsets[3499], 0xFFFFFFFFu);
  EXPECT_EQ(past_end.entries->sizes[3499], 0xFFFFFFFFu);
}

TEST(ReadEntryTable, CountsUpToTheTableCapacityAreRead) {
  for (const std::uint32_t count : {0u, 1u, 3500u}) {
    test_archive archive;
    for (std::uint32_t i = 0; i < count; ++i) archive.entries.push_back(record(std::to_string(i), i, i * 2));
    const parsed p = parse(archive.inflated_index());
    ASSERT_EQ(p.result, std::nullopt) << count;
    EXPECT_EQ(p.entry_count, count);
    if (count > 0) {
      EXPECT_EQ(std::string(p.entries->names[count - 1]), std::to_string(count - 1));
      EXPECT_EQ(p.entries->sizes[count - 1], (count - 1) * 2);
    }
  }
}

TEST(ReadEntryTable, CountsPastTheTableCapacityAreRefused) {
  for (const std::uint32_t count : {3501u, 0x00010000u, 0xFFFFFFFFu}) {
    test_archive archive;
    archive.entry_count = count;
    const parsed p = parse(archive.inflated_index());
    ASSERT_NE(p.result, std::nullopt) << count;
    EXPECT_NE(p.result->reason.find(std::to_string(count)), std::string::npos) << p.result->reason;
    EXPECT_NE(p.result->reason.find("3500"), std::string::npos) << p.result->reason;
    EXPECT_EQ(p.entry_count, 0u);
  }
}

}  // namespace
}  // namespace darvex
