// Black-box tests of --json with -l, -t and -c: every line parses as JSON (nlohmann-json reads it
// back), one object an entry, then one for the archive; names that are not text keep their
// bytes; statuses and messages are those of the run without --json.

#include <gtest/gtest.h>

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

// Each line of `out` parsed; a line that does not parse fails the test.
std::vector<json> parsed_lines(const std::string& out) {
  std::vector<json> lines;
  for (std::size_t start = 0; start < out.size();) {
    const std::size_t end = out.find('\n', start);
    EXPECT_NE(end, std::string::npos) << "the last line ends with a newline";
    const std::string line = out.substr(start, end - start);
    lines.push_back(json::parse(line, nullptr, false));
    EXPECT_FALSE(lines.back().is_discarded()) << line;
    start = end == std::string::npos ? out.size() : end + 1;
  }
  return lines;
}

class CliJson : public ::testing::Test {
 protected:
  CliJson() {
    test_entry damaged = entry("levels/one.xml", text_like(5000, 1));
    damaged.stream.back() ^= 0x20;  // its checksum fails
    archive_.entries = {entry("readme.txt", "read me\n"), damaged, entry(latin1_, "crème"), entry("../escape", "x"),
                        entry("\x1B[2Jclear", "esc")};
    archive_.write_to((dir_ / "file.dat").string());
  }
  tool_result run(const args& arguments) { return run_tool(dir_.path(), arguments); }
  std::uint64_t span_of(std::size_t entry) const {
    return archive_.stream_offsets()[entry + 1] - archive_.stream_offsets()[entry];
  }

  const std::string latin1_ = "caf\xE9.txt";  // not UTF-8; text in the Windows code page 1252
  scratch_dir dir_;
  test_archive archive_;
};

TEST_F(CliJson, ListGivesOneObjectAnEntryThenOneForTheArchive) {
  const tool_result result =
      run_tool(dir_.path(), {"-l", "--json", "file.dat"}, run_options::with_environment({"LC_ALL=C.UTF-8"}));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "DarvEx: entry 4 (../escape): unsafe name: a \"..\" component leaves the output directory\n");
  const std::vector<json> lines = parsed_lines(result.out);
  ASSERT_EQ(lines.size(), 6u) << result.out;
  EXPECT_EQ(lines[0], json::parse(R"({"entry":1,"name":"readme.txt","size":8,"offset":12,"span":)" +
                                  std::to_string(span_of(0)) + R"(,"status":"ok"})"));
  EXPECT_EQ(lines[1]["status"], "ok") << "a listing reads no entry";
  if (testing_a_windows_build()) {
    EXPECT_EQ(lines[2]["name"], "caf\xC3\xA9.txt") << "converted from the ANSI code page";
    EXPECT_FALSE(lines[2].contains("name_bytes"));
  } else {
    EXPECT_EQ(lines[2]["name"], "caf\xEF\xBF\xBD.txt") << "U+FFFD for the byte that is not UTF-8";
    EXPECT_EQ(lines[2]["name_bytes"], "636166e92e747874");
  }
  EXPECT_EQ(lines[3]["status"], "refused");
  EXPECT_EQ(lines[3]["reason"], "unsafe name: a \"..\" component leaves the output directory");
  EXPECT_EQ(lines[4]["name"], "\x1B[2Jclear");
  EXPECT_EQ(result.out.find('\x1B'), std::string::npos) << "escaped as \\u001b";
  EXPECT_EQ(lines[5],
            json::parse(R"({"archive":"file.dat","entries":5,"size":)" + std::to_string(8 + 5000 + 6 + 1 + 3) +
                        R"(,"span":)" + std::to_string(archive_.stream_offsets().back() - 12) + R"(,"failed":1})"));
}

TEST_F(CliJson, TestSaysWhichEntriesAreDamagedOrRefusedAndWhy) {
  for (const args& given : {args{"-t", "--json", "file.dat"}, args{"--json", "-tq", "file.dat"}}) {
    SCOPED_TRACE(::testing::PrintToString(given));
    const tool_result result = run(given);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("DarvEx: entry 2 (levels/one.xml): damaged or truncated zlib stream"), std::string::npos)
        << result.err;
    const std::vector<json> lines = parsed_lines(result.out);
    ASSERT_EQ(lines.size(), 6u) << "-q leaves the JSON Lines asked for:\n" << result.out;
    const char* statuses[] = {"ok", "damaged", "ok", "refused", "ok"};
    for (std::size_t i = 0; i < 5; ++i) {
      EXPECT_EQ(lines[i]["entry"], i + 1);
      EXPECT_EQ(lines[i]["status"], statuses[i]) << i;
      EXPECT_EQ(lines[i].contains("reason"), lines[i]["status"] != "ok") << i;
    }
    EXPECT_EQ(lines[1]["reason"], "damaged or truncated zlib stream; 5000 bytes kept");
    EXPECT_EQ(lines[5]["failed"], 2);
    EXPECT_EQ(lines[5]["entries"], 5);
  }
}

TEST_F(CliJson, EachArchiveEndsWithItsObjectAndAStopWritesNoLine) {
  test_archive good;
  good.entries = {entry("a.txt", "a")};
  good.write_to((dir_ / "good.dat").string());
  write_file(dir_ / "notes.txt", "just some text, no archive at all\n");
  const tool_result both = run({"-t", "--json", "good.dat", "notes.txt", "good.dat"});
  EXPECT_EQ(both.status, 2);
  EXPECT_EQ(both.err, "DarvEx: \"notes.txt\": not an archive of this kind: it looks like text\n");
  const std::vector<json> lines = parsed_lines(both.out);
  ASSERT_EQ(lines.size(), 4u) << both.out;
  EXPECT_EQ(lines[0]["name"], "a.txt");
  EXPECT_EQ(lines[1]["archive"], "good.dat");
  EXPECT_EQ(lines[3]["archive"], "good.dat");
  const tool_result stopped = run({"-l", "--json", "notes.txt"});
  EXPECT_EQ(stopped.status, 2);
  EXPECT_EQ(stopped.out, "");
}

TEST_F(CliJson, CreateGivesOneObjectARecordThenOneForTheArchive) {
  test_archive packed;
  packed.entries = {entry("data\\a.txt", "a"), entry("b.txt", "b")};
  packed.write_to((dir_ / "packed.dat").string());
  ASSERT_EQ(run({"-q", "packed.dat"}).status, 0);
  write_file(dir_ / "packed/b.txt", "changed");
  write_file(dir_ / "packed/new.txt", "added");
  const tool_result result = run({"--json", "-q", "-c", "again.dat", "--like", "packed.dat", "packed"});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::vector<json> lines = parsed_lines(result.out);
  ASSERT_EQ(lines.size(), 4u) << result.out;
  const char* const statuses[] = {"kept", "new", "added"};
  const char* const names[] = {"data\\a.txt", "b.txt", "new.txt"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[i]["entry"], i + 1);
    EXPECT_EQ(lines[i]["name"], names[i]);
    EXPECT_EQ(lines[i]["status"], statuses[i]);
  }
  EXPECT_EQ(lines[1]["size"], 7);
  EXPECT_EQ(lines[3], json::parse(R"({"archive":"again.dat","entries":3,"kept":1,"missing":0,"damaged":0,"new":1,)"
                                  R"("added":1,"dropped":0})"));
}

}  // namespace
}  // namespace darvex::test_support
