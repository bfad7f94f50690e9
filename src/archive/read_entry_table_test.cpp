#include <gtest/gtest.h>

#include <string>

#include "archive/archive.hpp"
#include "archive_writer.hpp"
#include "scratch.hpp"

namespace darvex {
namespace {

using testing::test_archive;
using testing::test_entry;

struct parsed {
  std::unique_ptr<run_state> state{new run_state};
  stage_result result;
};

// Runs read_entry_table on a table.bin holding `table_bytes`, as load_index leaves it.
parsed parse(const std::string& table_bytes) {
  testing::scratch_dir dir;
  testing::write_file(dir / "table.bin", table_bytes);
  parsed out;
  out.state->archive_path = "a.dat";
  out.state->table = open_file((dir / "table.bin").c_str(), "rb");
  out.result = read_entry_table(*out.state);
  return out;
}

std::string padded(std::string index) {
  index.resize(INDEX_BUFFER_SIZE, '\0');
  return index;
}

test_entry record(std::string name, std::uint32_t offset, std::uint32_t size) {
  return {std::move(name), "", size, offset};
}

TEST(ReadEntryTable, RecordsFillTheirSlots) {
  const struct {
    const char* label;
    std::string name;        // as stored
    std::string slot_name;   // as the slot holds it, up to its zero byte
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
    const parsed p = parse(padded(archive.inflated_index()));
    ASSERT_EQ(p.result, std::nullopt) << c.label;
    const entry_table& t = p.state->entries;
    EXPECT_EQ(p.state->entry_count, 2u) << c.label;
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
  const parsed a = parse(padded(plain.inflated_index()));
  const parsed b = parse(padded(noisy.inflated_index()));
  ASSERT_EQ(b.result, std::nullopt);
  for (int i = 0; i < 2; ++i) {
    EXPECT_STREQ(a.state->entries.names[i], b.state->entries.names[i]);
    EXPECT_EQ(a.state->entries.offsets[i], b.state->entries.offsets[i]);
    EXPECT_EQ(a.state->entries.sizes[i], b.state->entries.sizes[i]);
  }
}

TEST(ReadEntryTable, RecordsBeyondTheIndexReadZeroPaddingThenFFPastTheEnd) {
  test_archive archive;
  archive.entries = {record("only", 9, 10)};
  archive.entry_count = 3;
  const parsed padded_table = parse(padded(archive.inflated_index()));
  ASSERT_EQ(padded_table.result, std::nullopt);
  EXPECT_EQ(padded_table.state->entry_count, 3u);
  for (int i = 1; i < 3; ++i) {
    EXPECT_STREQ(padded_table.state->entries.names[i], "");
    EXPECT_EQ(padded_table.state->entries.offsets[i], 0u);
    EXPECT_EQ(padded_table.state->entries.sizes[i], 0u);
  }
  // With no bytes left, the name length reads 0xFF and so does every name byte and number.
  const parsed cut = parse(archive.inflated_index());
  ASSERT_EQ(cut.result, std::nullopt);
  EXPECT_EQ(std::string(cut.state->entries.names[1]), std::string(255, '\xFF'));
  EXPECT_EQ(cut.state->entries.offsets[2], 0xFFFFFFFFu);
  EXPECT_EQ(cut.state->entries.sizes[2], 0xFFFFFFFFu);
}

TEST(ReadEntryTable, CountsUpToTheTableCapacityAreRead) {
  for (const std::uint32_t count : {0u, 1u, 3500u}) {
    test_archive archive;
    for (std::uint32_t i = 0; i < count; ++i) archive.entries.push_back(record(std::to_string(i), i, i * 2));
    const parsed p = parse(padded(archive.inflated_index()));
    ASSERT_EQ(p.result, std::nullopt) << count;
    EXPECT_EQ(p.state->entry_count, count);
    if (count > 0) {
      EXPECT_EQ(std::string(p.state->entries.names[count - 1]), std::to_string(count - 1));
      EXPECT_EQ(p.state->entries.sizes[count - 1], (count - 1) * 2);
    }
  }
}

TEST(ReadEntryTable, CountsPastTheTableCapacityAreRefused) {
  for (const std::uint32_t count : {3501u, 0x00010000u, 0xFFFFFFFFu}) {
    test_archive archive;
    archive.entry_count = count;
    const parsed p = parse(padded(archive.inflated_index()));
    ASSERT_NE(p.result, std::nullopt) << count;
    EXPECT_NE(p.result->reason.find(std::to_string(count)), std::string::npos) << p.result->reason;
    EXPECT_NE(p.result->reason.find("3500"), std::string::npos) << p.result->reason;
    EXPECT_EQ(p.state->entry_count, 0u);
  }
}

}  // namespace
}  // namespace darvex
