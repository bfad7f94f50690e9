// Black-box tests of --diff: two archives compared entry by entry by stored name and inflated
// bytes (entries added, removed, changed, the same; damaged and refused ones on their own), as
// lines and as JSON Lines, with the status diff and cmp give; entries of one name paired by rank;
// a repack at another level the same; bytes that differ under one size and CRC-32 still changed.

#include <gtest/gtest.h>

#include <zlib.h>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

using json = nlohmann::json;
using args = std::vector<std::string>;

std::uint32_t crc_of(const std::string& bytes) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// "<size> bytes, CRC-32 <8 hex digits>", as a line shows an entry's side.
std::string side(const std::string& bytes) {
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08lx", static_cast<unsigned long>(crc_of(bytes)));
  return std::to_string(bytes.size()) + " bytes, CRC-32 " + crc;
}

// `prefix` and four bytes after it that give the CRC-32 `target`: the CRC run backwards from
// the target over four bytes, whose table entries each have a top byte of their own.
std::string with_crc(const std::string& prefix, std::uint32_t target) {
  std::array<std::uint32_t, 256> table{};
  std::array<std::uint32_t, 256> by_top_byte{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) != 0 ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    table[i] = c;
    by_top_byte[c >> 24] = i;
  }
  std::uint32_t reg = ~target;
  for (int i = 0; i < 4; ++i) {
    const std::uint32_t k = by_top_byte[reg >> 24];
    reg = ((reg ^ table[k]) << 8) | k;
  }
  const std::uint32_t bytes = reg ^ ~crc_of(prefix);
  std::string out = prefix;
  for (int i = 0; i < 4; ++i) out += static_cast<char>((bytes >> (8 * i)) & 0xFF);
  return out;
}

// The last line of `out`, which ends with a newline, without it.
std::string last_line_of(const std::string& out) {
  const std::size_t start = out.rfind('\n', out.size() - 2);
  return out.substr(start + 1, out.size() - start - 2);
}

class CliDiff : public ::testing::Test {
 protected:
  tool_result run(const args& arguments) { return run_tool(dir_.path(), arguments); }
  void write(const std::string& name, const std::vector<test_entry>& entries) {
    test_archive archive;
    archive.entries = entries;
    archive.write_to((dir_ / name).string());
  }

  scratch_dir dir_;
};

TEST_F(CliDiff, SaysWhatWasAddedRemovedAndChangedAndHowManyAreTheSame) {
  write("OLD.dat", {entry("same.xml", "<same/>"), entry("gone.txt", "gone"), entry("data\\edit.txt", "charlie")});
  write("NEW.dat", {entry("data\\edit.txt", "CHARLIE"), entry("new.txt", "new"), entry("same.xml", "<same/>")});
  const tool_result lines = run({"--diff", "OLD.dat", "NEW.dat"});
  EXPECT_EQ(lines.status, 1);
  EXPECT_EQ(lines.err, "");
  EXPECT_EQ(lines.out, "removed  gone.txt  " + side("gone") + "\n" +                                          //
                           "changed  data\\edit.txt  " + side("charlie") + " -> " + side("CHARLIE") + "\n" +  //
                           "added    new.txt  " + side("new") + "\n" +                                        //
                           "OLD.dat -> NEW.dat: 1 added, 1 removed, 1 changed, 1 the same\n");

  const tool_result objects = run({"--diff", "--json", "OLD.dat", "NEW.dat"});
  EXPECT_EQ(objects.status, 1);
  std::vector<json> parsed;
  for (std::size_t at = 0, end; (end = objects.out.find('\n', at)) != std::string::npos; at = end + 1) {
    parsed.push_back(json::parse(objects.out.substr(at, end - at)));
  }
  ASSERT_EQ(parsed.size(), 4u) << objects.out;
  EXPECT_EQ(parsed[0], json({{"name", "gone.txt"},
                             {"status", "removed"},
                             {"old_entry", 2},
                             {"old_size", 4},
                             {"old_crc", crc_of("gone")}}));
  EXPECT_EQ(parsed[1], json({{"name", "data\\edit.txt"},
                             {"status", "changed"},
                             {"old_entry", 3},
                             {"old_size", 7},
                             {"old_crc", crc_of("charlie")},
                             {"new_entry", 1},
                             {"new_size", 7},
                             {"new_crc", crc_of("CHARLIE")}}));
  EXPECT_EQ(parsed[2]["status"], "added");
  EXPECT_EQ(parsed[3], json({{"old", "OLD.dat"},
                             {"new", "NEW.dat"},
                             {"added", 1},
                             {"removed", 1},
                             {"changed", 1},
                             {"damaged", 0},
                             {"refused", 0},
                             {"same", 1}}));
  EXPECT_EQ(run({"-q", "--diff", "OLD.dat", "NEW.dat"}).out, "");
}

// Entries are compared by the bytes they inflate to, in any order, whatever their streams.
TEST_F(CliDiff, ArchivesHoldingTheSameBytesAreTheSameWhateverTheirStreamsAndOrder) {
  const std::vector<test_entry> entries = {entry("a.txt", text_like(30000, 1)), entry("b\\c.bin", binary_like(9000, 2)),
                                           entry("empty", "")};
  write("OLD.dat", entries);
  write("REORDERED.dat", {entries[2], entries[0], entries[1]});
  ASSERT_EQ(run({"-q", "OLD.dat"}).status, 0);
  ASSERT_EQ(run({"-q", "--level", "1", "-c", "LEVEL1.dat", "OLD"}).status, 0);
  for (const char* other : {"OLD.dat", "REORDERED.dat", "LEVEL1.dat"}) {
    const tool_result same = run({"--diff", "OLD.dat", other});
    EXPECT_EQ(same.status, 0) << other << ": " << same.err;
    EXPECT_EQ(same.out, std::string("OLD.dat -> ") + other + ": 0 added, 0 removed, 0 changed, 3 the same\n");
  }
  EXPECT_FALSE(read_file(dir_ / "LEVEL1.dat") == read_file(dir_ / "OLD.dat")) << "other streams";
}

TEST_F(CliDiff, BytesThatDifferUnderOneSizeAndCrcAreStillChanged) {
  const std::string old_bytes = with_crc("the old bytes ", 0x12345678u);
  const std::string new_bytes = with_crc("THE NEW BYTES ", 0x12345678u);
  ASSERT_EQ(crc_of(old_bytes), crc_of(new_bytes));
  write("OLD.dat", {entry("x.bin", old_bytes)});
  write("NEW.dat", {entry("x.bin", new_bytes)});
  const tool_result result = run({"--diff", "OLD.dat", "NEW.dat"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "changed  x.bin  " + side(old_bytes) + " -> " + side(new_bytes) +
                            "\nOLD.dat -> NEW.dat: 0 added, 0 removed, 1 changed, 0 the same\n");
}

TEST_F(CliDiff, EntriesOfOneNamePairInTheirOrderAndIncludesChooseWhatIsCompared) {
  write("OLD.dat", {entry("dup.txt", "one"), entry("dup.txt", "two"), entry("x.xml", "x")});
  write("NEW.dat", {entry("dup.txt", "one"), entry("x.xml", "y")});
  const tool_result all = run({"--diff", "OLD.dat", "NEW.dat"});
  EXPECT_EQ(all.out, "removed  dup.txt  " + side("two") + "\nchanged  x.xml  " + side("x") + " -> " + side("y") +
                         "\nOLD.dat -> NEW.dat: 0 added, 1 removed, 1 changed, 1 the same\n");
  const tool_result xml_only = run({"--diff", "-x", "*.txt", "OLD.dat", "NEW.dat"});
  EXPECT_EQ(xml_only.out, "changed  x.xml  " + side("x") + " -> " + side("y") +
                              "\nOLD.dat -> NEW.dat: 0 added, 0 removed, 1 changed, 0 the same\n");
  const tool_result txt_only = run({"--diff", "-i", "dup.txt", "--", "OLD.dat", "NEW.dat"});
  EXPECT_EQ(txt_only.status, 1);
  EXPECT_EQ(last_line_of(txt_only.out), "OLD.dat -> NEW.dat: 0 added, 1 removed, 0 changed, 1 the same");
}

TEST_F(CliDiff, DamagedAndRefusedEntriesAreDifferencesOfTheirOwnNamingTheirArchive) {
  test_entry damaged = entry("x.bin", binary_like(5000, 4));
  damaged.stream.back() ^= 0x20;  // its checksum
  write("OLD.dat", {entry("a.txt", "a"), damaged, entry("../up", "up")});
  write("NEW.dat", {entry("a.txt", "a"), entry("x.bin", binary_like(5000, 4)), entry("../up", "up")});
  const tool_result result = run({"--diff", "OLD.dat", "NEW.dat"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "damaged  x.bin  damaged -> " + side(binary_like(5000, 4)) +
                            "\nrefused  ../up  refused -> refused"
                            "\nOLD.dat -> NEW.dat: 0 added, 0 removed, 0 changed, 1 damaged, 1 refused, 1 the same\n");
  EXPECT_EQ(result.err,
            "DarvEx: \"OLD.dat\": entry 2 (x.bin): damaged or truncated zlib stream; 5000 bytes kept\n"
            "DarvEx: \"OLD.dat\": entry 3 (../up): unsafe name: a \"..\" component leaves the output directory\n"
            "DarvEx: \"NEW.dat\": entry 3 (../up): unsafe name: a \"..\" component leaves the output directory\n");
}

TEST_F(CliDiff, AnArchiveThatCannotBeReadStopsWithStatusTwo) {
  write("OLD.dat", {entry("a.txt", "a")});
  write_file(dir_ / "notes.txt", "just some text, no archive at all\n");
  const struct {
    args arguments;
    const char* err;
  } cases[] = {
      {{"--diff", "OLD.dat", "missing.dat"}, "DarvEx: \"missing.dat\": cannot open: No such file or directory\n"},
      {{"--diff", "notes.txt", "OLD.dat"}, "DarvEx: \"notes.txt\": not an archive of this kind: it looks like text\n"},
      {{"--diff", "--json", "OLD.dat", "notes.txt"},
       "DarvEx: \"notes.txt\": not an archive of this kind: it looks like text\n"},
  };
  for (const auto& c : cases) {
    const tool_result result = run(c.arguments);
    EXPECT_EQ(result.status, 2) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(result.out, "");
    if (!testing_a_windows_build()) {
      EXPECT_EQ(result.err, c.err);
    }
  }
}

}  // namespace
}  // namespace darvex::test_support
