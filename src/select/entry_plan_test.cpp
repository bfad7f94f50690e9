#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "select/entry_plan.hpp"

namespace darvex {
namespace {

struct record {
  const char* name;
  std::uint32_t offset;
  std::uint32_t size;
};

entry_plan plan_of(const std::vector<record>& records, std::uint32_t index_offset, const entry_selection& chosen = {}) {
  const std::unique_ptr<entry_table> table(new entry_table);
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::strcpy(table->names[i], records[i].name);
    table->offsets[i] = records[i].offset;
    table->sizes[i] = records[i].size;
  }
  return plan_entries(*table, static_cast<std::uint32_t>(records.size()), index_offset, chosen);
}

std::string refusal_of(const planned_entry& entry) { return entry.refusal ? entry.refusal->reason : std::string(); }

TEST(EntryPlan, SpansRunToTheNextGoodOffsetOrTheIndex) {
  const entry_plan plan = plan_of({{"a", 12, 5}, {"b", 40, 5}, {"damaged", 9000, 5}, {"c", 70, 5}}, 100);
  const std::uint64_t expected_ends[] = {40, 70, 70, 100};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(plan.entries[i].end, expected_ends[i]) << i;
  EXPECT_FALSE(plan.entries[1].refused()) << "b runs past the damaged record to c";
  EXPECT_NE(refusal_of(plan.entries[2]).find("lies past the index at 100"), std::string::npos);
  EXPECT_FALSE(plan.entries[3].refused()) << refusal_of(plan.entries[3]);
}

TEST(EntryPlan, RefusesWhatCannotBeExtractedSafely) {
  const struct {
    const char* label;
    std::vector<record> records;
    std::size_t refused;  // which entry
    const char* reason;
  } cases[] = {
      {"unsafe name", {{"../x", 12, 1}}, 0, "unsafe name: a \"..\" component"},
      {"offsets out of order", {{"a", 50, 1}, {"b", 20, 1}}, 0, "before its offset 50 (offsets out of order)"},
      {"a span read again",
       {{"a", 12, 1}, {"b", 40, 1}, {"c", 12, 1}, {"d", 40, 1}},
       2,
       "overlaps the previous entry's data (up to 40)"},
      {"size too large", {{"a", 12, 13107201}}, 0, "size of 13107201 bytes exceeds the 13107200-byte entry buffer"},
      {"a folder with data", {{"dir/", 12, 3}}, 0, "names a folder but records 3 bytes of data"},
      {"no name left for a file", {{"././/", 12, 0}, {"././", 13, 1}}, 1, "names a folder but records 1 bytes"},
      {"a file named by no part", {{"./.", 12, 0}}, 0, "names the output directory itself"},
  };
  for (const auto& c : cases) {
    const entry_plan plan = plan_of(c.records, 100);
    EXPECT_NE(refusal_of(plan.entries[c.refused]).find(c.reason), std::string::npos)
        << c.label << ": " << refusal_of(plan.entries[c.refused]);
  }
}

TEST(EntryPlan, ASpanLongerThanTheEntryBufferIsRefused) {
  const entry_plan plan = plan_of({{"a", 12, 1}}, 13107200 + 13);
  EXPECT_NE(refusal_of(plan.entries[0]).find("span of 13107201 bytes exceeds"), std::string::npos);
}

// Even entries at offset 12, odd ones past the index: without the overlap rule each even
// entry's span would run to the index and inflate the same stream again.
TEST(EntryPlan, NoTwoReadSpansOverlap) {
  std::vector<record> records;
  for (int i = 0; i < 40; ++i) records.push_back({"x", i % 2 == 0 ? 12u : 5000u, 10});
  const entry_plan plan = plan_of(records, 1000);
  std::uint64_t read_up_to = 0;
  std::size_t accepted = 0;
  for (const planned_entry& entry : plan.entries) {
    if (entry.refused()) continue;
    EXPECT_GE(entry.start, read_up_to);
    read_up_to = entry.end;
    ++accepted;
  }
  EXPECT_EQ(accepted, 20u) << "the 20 records at 12 are read (empty spans, the last to the index), those past it not";
}

TEST(EntryPlan, NamesOfOneFileAreChainedInIndexOrder) {
  const entry_plan plan = plan_of({{"a.txt", 12, 1},
                                   {"b", 13, 1},
                                   {"A.TXT", 14, 1},
                                   {"./sub//x", 15, 1},
                                   {"sub\\x", 16, 1},
                                   {"Table.bin", 17, 1},
                                   {"../a.txt", 18, 1},
                                   {"a.txt", 19, 1}},
                                  100);
  EXPECT_EQ(plan.entries[0].waits_for, std::nullopt);
  EXPECT_EQ(plan.entries[2].waits_for, 0u) << "ASCII case may not tell files apart";
  EXPECT_EQ(plan.entries[4].waits_for, 3u) << "nor '\\' from '/', nor empty and \".\" parts";
  EXPECT_EQ(plan.entries[5].names_table, platform::NAMES_IGNORE_CASE) << "by this system's rules";
  EXPECT_EQ(plan.entries[6].waits_for, std::nullopt) << "a refused entry writes nothing";
  EXPECT_EQ(plan.entries[7].waits_for, 2u);
}

TEST(EntryPlan, SelectionTakesIncludesThenDropsExcludesAndNamesUnmatchedIncludes) {
  const std::vector<record> records{{"a.xml", 12, 1}, {"b.xml", 13, 1}, {"c.bin", 14, 1}};
  const entry_plan plan = plan_of(records, 100, {{"*.xml", "*.png"}, {"b*"}});
  EXPECT_EQ(plan.unmatched, std::vector<std::string>{"*.png"});
  ASSERT_EQ(plan.entries.size(), 1u);
  EXPECT_EQ(plan.entries[0].name, "a.xml");

  const entry_plan without_bins = plan_of(records, 100, {{}, {"*.bin"}});
  EXPECT_TRUE(without_bins.unmatched.empty());
  ASSERT_EQ(without_bins.entries.size(), 2u);
  EXPECT_EQ(without_bins.entries[1].position, 2u);
}

// An entry waits only for an earlier one that the selection takes: a name of the same file left
// out of the run writes nothing to wait for.
TEST(EntryPlan, AnEntryWaitsForTheNearestSelectedWriterOfItsFile) {
  const entry_plan plan =
      plan_of({{"same.txt", 12, 1}, {"./same.txt", 13, 1}, {"other", 14, 1}, {"same.txt", 15, 1}}, 100, {{}, {"./*"}});
  ASSERT_EQ(plan.entries.size(), 3u);
  EXPECT_EQ(plan.entries[2].position, 4u);
  EXPECT_EQ(plan.entries[2].waits_for, 0u);
  EXPECT_EQ(plan.entries[1].waits_for, std::nullopt);
}

// With a code page chosen, paths are made of each name's text, so that a double-byte character
// whose trail byte is '\' (932's 0x95 0x5C) stays one character of one part; patterns match the
// text; a name that is not text there is refused, with the byte that is not.
TEST(EntryPlan, NamesReadInACodePageMakeTheirPathsOfTheirText) {
  const std::vector<record> records{{"dir\\\x95\x5C.txt", 12, 1}, {"bad\x81\x20.txt", 13, 1}, {"x.txt", 14, 1}};
  const entry_plan plan = plan_of(records, 100, {.names = name_encoding(932)});
  ASSERT_EQ(plan.entries.size(), 3u);
  EXPECT_EQ(plan.entries[0].path.parts, (std::vector<std::string>{"dir", "\xE8\xA1\xA8.txt"}));
  EXPECT_FALSE(plan.entries[0].refused()) << refusal_of(plan.entries[0]);
  EXPECT_EQ(plan.entries[0].name, records[0].name) << "the stored bytes stay as stored";
  EXPECT_EQ(refusal_of(plan.entries[1]),
            "name is not valid in code page 932: byte 0x81 at offset 3 begins no character");

  const entry_plan picked = plan_of(records, 100, {{"dir/\xE8\xA1\xA8.txt", "*\x95*"}, {}, 0, name_encoding(932)});
  ASSERT_EQ(picked.entries.size(), 1u);
  EXPECT_EQ(picked.entries[0].position, 1u);
  EXPECT_EQ(picked.unmatched, std::vector<std::string>{"*\x95*"}) << "patterns see text, not stored bytes";
}

}  // namespace
}  // namespace darvex
