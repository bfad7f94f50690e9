// Black-box tests of the options: listing, testing, a chosen directory, selection, keeping
// existing files, quiet runs, several archives, help, version and every usage error.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "expected_output.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

using args = std::vector<std::string>;

const char TRY_HELP[] = "Try 'DarvEx --help'.\n";
const char LIST_HEAD[] =
    "       Size         Span  Name\n"
    "-----------  -----------  ----\n";
const char LIST_RULE[] = "-----------  -----------  ----\n";

// Three entries whose span lengths are easy to check: each span is exactly its stream.
test_archive three_entries() {
  test_archive archive;
  archive.entries = {entry("readme.txt", "read me\n"), entry("levels/one.xml", text_like(5000, 1)),
                     entry("mesh.bin", binary_like(3000, 2))};
  return archive;
}

std::string list_line(std::size_t size, std::size_t span, const std::string& name) {
  char columns[64];
  std::snprintf(columns, sizeof columns, "%11zu  %11zu  ", size, span);
  return std::string(columns).append(name).append("\n");
}

class CliOptions : public ::testing::Test {
 protected:
  CliOptions() { three_entries().write_to((dir_ / "file.dat").string()); }

  tool_result run(const args& arguments) { return run_tool(dir_.path(), arguments); }
  std::string file(const std::string& relative) const { return read_file(dir_ / relative); }
  std::vector<std::string> tree() const { return list_tree(dir_.path()); }

  scratch_dir dir_;
};

TEST_F(CliOptions, ListShowsSizeSpanAndNameOfEachEntryAndWritesNothing) {
  const test_archive archive = three_entries();
  const std::string expected =
      "Archive: file.dat\n" + std::string(LIST_HEAD) + list_line(8, archive.entries[0].stream.size(), "readme.txt") +
      list_line(5000, archive.entries[1].stream.size(), "levels/one.xml") +
      list_line(3000, archive.entries[2].stream.size(), "mesh.bin") + LIST_RULE +
      list_line(8008, archive.stream_offsets().back() - archive.stream_offsets().front(), "3 entries");
  for (const args& given : {args{"-l", "file.dat"}, args{"--list", "file.dat"}, args{"-lq", "file.dat"}}) {
    const tool_result result = run(given);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(tree(), args{"file.dat"}) << "a listing writes nothing";
  }
}

TEST_F(CliOptions, ListShowsRefusedEntriesWithTheirReasonsOnStderr) {
  test_archive archive = three_entries();
  archive.entries.insert(archive.entries.begin() + 1, entry("../escape", "x"));
  test_entry past = entry("past.bin", "p");
  past.offset = 0x40000000;
  archive.entries.push_back(past);
  archive.write_to((dir_ / "bad.dat").string());
  const tool_result result = run({"-l", "bad.dat"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("  ../escape\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("          1            -  past.bin\n"), std::string::npos)
      << "a span that runs backwards shows as -\n"
      << result.out;
  EXPECT_NE(result.out.find("5 entries\n"), std::string::npos);
  const std::string index_at = std::to_string(archive.stream_offsets().back());
  EXPECT_EQ(result.err, std::string("DarvEx: entry 2 (../escape): unsafe name: a \"..\" component leaves the output "
                                    "directory\nDarvEx: entry 5 (past.bin): offset 1073741824 lies past the index at ")
                            .append(index_at)
                            .append("\n"));
  EXPECT_EQ(tree(), (args{"bad.dat", "file.dat"}));
}

TEST_F(CliOptions, TestInflatesEveryEntryInMemoryAndWritesNothing) {
  test_archive damaged = three_entries();
  damaged.entries[1].stream[damaged.entries[1].stream.size() - 1] ^= 0x20;  // its checksum fails
  damaged.write_to((dir_ / "damaged.dat").string());
  const struct {
    args given;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {{"-t", "file.dat"},
       0,
       "Archive: file.dat\nOK      readme.txt\nOK      levels/one.xml\nOK      mesh.bin\n3 entries tested: all OK\n",
       ""},
      {{"--test", "damaged.dat"},
       1,
       "Archive: damaged.dat\nOK      readme.txt\nFAILED  levels/one.xml\nOK      mesh.bin\n3 entries tested: 1 "
       "failed\n",
       "DarvEx: entry 2 (levels/one.xml): damaged or truncated zlib stream; 5000 bytes kept\n"},
      {{"-t", "-x", "levels/*", "damaged.dat"},
       0,
       "Archive: damaged.dat\nOK      readme.txt\nOK      mesh.bin\n2 entries tested: all OK\n",
       ""},
      {{"-tq", "damaged.dat"},
       1,
       "",
       "DarvEx: entry 2 (levels/one.xml): damaged or truncated zlib stream; 5000 bytes kept\n"},
      {{"-t", "missing.dat"}, 2, "", "DarvEx: \"missing.dat\": cannot open: No such file or directory\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.given));
    const tool_result result = run(c.given);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(tree(), (args{"damaged.dat", "file.dat"}));
  }
}

TEST_F(CliOptions, DirectoryIsMadeWithItsParentsAndStartsEveryProgressLine) {
  for (const args& given : {args{"-d", "out/deep/er", "file.dat"}, args{"--directory=out/deep/er", "file.dat"},
                            args{"--directory", "out/deep/er", "file.dat"}}) {
    fs::remove_all(dir_ / "out");
    const tool_result result = run(given);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, progress("out/deep/er", {"readme.txt", "levels/one.xml", "mesh.bin"}));
    EXPECT_EQ(file("out/deep/er/readme.txt"), "read me\n");
    EXPECT_TRUE(fs::is_directory(dir_ / "out/deep/er/levels")) << "folders are made for names";
    EXPECT_EQ(fs::file_size(dir_ / "out/deep/er/table.bin"), 524288u);
    EXPECT_FALSE(fs::exists(dir_ / "file")) << "nothing goes to the directory the name gives";
  }
}

TEST_F(CliOptions, IncludeAndExcludeChooseTheEntries) {
  struct case_of {
    args given;
    int status;
    std::vector<std::string> extracted;
    std::string err;
  };
  const case_of cases[] = {
      {{"-i", "*.xml"}, 0, {"levels/one.xml"}, ""},
      {{"-i", "*.xml", "-i", "read*"}, 0, {"readme.txt", "levels/one.xml"}, ""},
      {{"-i", "levels\\*"}, 0, {"levels/one.xml"}, ""},  // '\' matches '/'
      {{"-x", "*.bin"}, 0, {"readme.txt", "levels/one.xml"}, ""},
      {{"-i", "*e*", "-x", "*.xml"}, 0, {"readme.txt", "mesh.bin"}, ""},  // -x wins over -i
      {{"-i", "[mr]*"}, 0, {"readme.txt", "mesh.bin"}, ""},
      {{"-i", "*.png", "-i", "mesh.bin"}, 1, {"mesh.bin"}, "DarvEx: \"file.dat\": no entry matches \"*.png\"\n"},
      testing_a_windows_build()
          ? case_of{{"-i", "README.TXT"}, 0, {"readme.txt"}, ""}  // as Windows file names match
          : case_of{{"-i", "README.TXT"}, 1, {}, "DarvEx: \"file.dat\": no entry matches \"README.TXT\"\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.given));
    fs::remove_all(dir_ / "file");
    fs::create_directories(dir_ / "file/levels");
    args given = c.given;
    given.push_back("file.dat");
    const tool_result result = run(given);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, progress("file", c.extracted));
    std::vector<std::string> expected_tree{"file", "file.dat", "file/levels", "file/table.bin"};
    for (const std::string& name : c.extracted) expected_tree.push_back("file/" + name);
    std::sort(expected_tree.begin(), expected_tree.end());
    EXPECT_EQ(tree(), expected_tree);
  }
}

TEST_F(CliOptions, AnIncludeThatMatchesNothingSuggestsOneThatWould) {
  const struct {
    const char* pattern;
    const char* hint;
  } cases[] = {
      {"one.xml", " (a pattern matches the whole stored name: '*one.xml' matches levels/one.xml)"},
      {"mesh", " (a pattern matches the whole stored name: 'mesh*' matches mesh.bin)"},
      {"*.png", ""},
  };
  for (const auto& c : cases) {
    const tool_result result = run({"-l", "-i", c.pattern, "file.dat"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, std::string("DarvEx: \"file.dat\": no entry matches \"") + c.pattern + "\"" + c.hint + "\n");
  }
}

TEST_F(CliOptions, NoOverwriteKeepsExistingFilesAndTableAndSaysSo) {
  fs::create_directory(dir_ / "file");
  write_file(dir_ / "file/readme.txt", "mine");
  write_file(dir_ / "file/table.bin", "my table");
  for (const char* option : {"-n", "--no-overwrite"}) {
    fs::remove(dir_ / "file/mesh.bin");
    const tool_result result = run({option, "-x", "levels/*", "file.dat"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "\nfile\\readme.txt  (exists, not replaced)\nfile\\mesh.bin\nExtracion Complete");
    EXPECT_EQ(file("file/readme.txt"), "mine");
    EXPECT_EQ(file("file/table.bin"), "my table");
    EXPECT_TRUE(file("file/mesh.bin") == binary_like(3000, 2));
  }
  // What counts is what existed before the run: of two entries of one name that was not there,
  // both are written and the later wins, as without -n; where it was there, both are kept out.
  test_archive twice;
  twice.entries = {entry("same.txt", "first"), entry("same.txt", "second")};
  twice.write_to((dir_ / "twice.dat").string());
  const tool_result result = run({"-n", "twice.dat"});
  EXPECT_EQ(result.out, "\ntwice\\same.txt\ntwice\\same.txt\nExtracion Complete");
  EXPECT_EQ(file("twice/same.txt"), "second");
  const tool_result again = run({"-n", "-j", "2", "twice.dat"});
  EXPECT_EQ(again.out,
            "\ntwice\\same.txt  (exists, not replaced)\ntwice\\same.txt  (exists, not replaced)\nExtracion Complete");
}

TEST_F(CliOptions, NoTableLeavesOnlyTheEntries) {
  test_archive archive;
  archive.entries = {entry("a.txt", "a"), entry("table.bin", "an entry of that name")};
  archive.write_to((dir_ / "own.dat").string());
  for (const args& given : {args{"--no-table", "file.dat"}, args{"--no-table", "-d", "game", "file.dat"}}) {
    SCOPED_TRACE(::testing::PrintToString(given));
    const std::string output_dir = given.size() == 2 ? "file" : "game";
    fs::create_directories(dir_ / output_dir / "levels");
    const tool_result result = run(given);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(fs::exists(dir_ / output_dir / "table.bin"));
    EXPECT_EQ(file(output_dir + "/readme.txt"), "read me\n");
  }
  const tool_result own = run({"--no-table", "own.dat"});
  EXPECT_EQ(own.status, 0);
  EXPECT_EQ(own.err, "") << "an entry named table.bin replaces no index dump";
  EXPECT_EQ(file("own/table.bin"), "an entry of that name");
}

TEST_F(CliOptions, QuietPrintsNothingOnStdoutButKeepsErrorsAndStatus) {
  test_archive bad = three_entries();
  bad.entries.push_back(entry("../escape", "x"));
  bad.write_to((dir_ / "bad.dat").string());
  fs::create_directories(dir_ / "file/levels");
  fs::create_directories(dir_ / "bad/levels");
  const struct {
    args given;
    int status;
    const char* err;
  } cases[] = {
      {{"-q", "file.dat"}, 0, ""},
      {{"--quiet", "-x", "levels/*", "file.dat"}, 0, ""},
      {{"-q", "bad.dat"}, 1, "DarvEx: entry 4 (../escape): unsafe name"},
      {{"-q", "missing.dat"}, 2, "DarvEx: \"missing.dat\": cannot open"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.given));
    const tool_result result = run(c.given);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind(c.err, 0), 0u) << result.err;
  }
  EXPECT_EQ(file("file/readme.txt"), "read me\n");
}

// `err` of a run alone with "DarvEx: entry" lines made "DarvEx: "<archive>": entry".
std::string with_archive_named(const std::string& err, const std::string& archive) {
  const std::string alone = "DarvEx: entry ";
  std::string out;
  std::size_t at = 0;
  for (std::size_t found = err.find(alone); found != std::string::npos; found = err.find(alone, at)) {
    out += err.substr(at, found - at) + "DarvEx: \"" + archive + "\": entry ";
    at = found + alone.size();
  }
  return out + err.substr(at);
}

TEST_F(CliOptions, SeveralArchivesAreEachHandledAsIfAloneAndTheHighestStatusWins) {
  test_archive second;
  second.entries = {entry("two.txt", "2")};
  second.write_to((dir_ / "second.dat").string());
  test_archive refusing;
  refusing.entries = {entry("../x", "x"), entry("ok.txt", "ok")};
  refusing.write_to((dir_ / "refusing.dat").string());
  const args archives[] = {{"file.dat", "second.dat"},
                           {"missing.dat", "second.dat"},
                           {"refusing.dat", "file.dat"},
                           {"second.dat", "missing.dat", "refusing.dat"}};
  fs::create_directories(dir_ / "all/levels");
  for (const args& given : archives) {
    for (const args& options : {args{}, args{"-l"}, args{"-t"}, args{"-d", "all"}}) {
      SCOPED_TRACE(::testing::PrintToString(options) + " " + ::testing::PrintToString(given));
      // Alone but that, among several, every line about an entry names its archive.
      tool_result alone{0, "", ""};
      for (const std::string& archive : given) {
        args one = options;
        one.push_back(archive);
        const tool_result result = run(one);
        alone.out += result.out;
        alone.err += with_archive_named(result.err, archive);
        alone.status = std::max(alone.status, result.status);
      }
      args whole = options;
      whole.insert(whole.end(), given.begin(), given.end());
      const tool_result together = run(whole);
      EXPECT_EQ(together.out, alone.out);
      EXPECT_EQ(together.err, alone.err);
      EXPECT_EQ(together.status, alone.status);
    }
  }
  EXPECT_EQ(file("all/two.txt"), "2");
  EXPECT_EQ(file("all/levels/one.xml"), text_like(5000, 1));
}

TEST_F(CliOptions, HelpAndVersionNeedNoArchive) {
  for (const args& given : {args{"-h"}, args{"--help"}, args{"-h", "file.dat"}, args{"-q", "--help"}}) {
    const tool_result result = run(given);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.rfind("DarvEx " DARVEX_VERSION " ", 0), 0u) << result.out;
    for (const char* part :
         {"Usage: DarvEx [OPTION]... ARCHIVE...", "--list", "--test", "--directory DIR", "--include GLOB",
          "--exclude GLOB", "--no-overwrite", "--quiet", "--jobs N", "--version", "Exit status:", "Examples:"}) {
      EXPECT_NE(result.out.find(part), std::string::npos) << part;
    }
  }
  const tool_result version = run({"-V"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("DarvEx " DARVEX_VERSION "\ninflater: ", 0), 0u) << version.out;
  EXPECT_NE(version.out.find("\nzlib 1."), std::string::npos) << version.out;
  EXPECT_EQ(tree(), args{"file.dat"});
}

TEST_F(CliOptions, UsageErrorsTouchNothingAndPointToHelp) {
  const struct {
    args given;
    const char* what;
  } cases[] = {
      {{"-z", "file.dat"}, "unknown option '-z'"},
      {{"--bogus", "file.dat"}, "unknown option '--bogus'"},
      {{"-d"}, "option '-d' needs DIR"},
      {{"--directory"}, "option '--directory' needs DIR"},
      {{"-l"}, "no archive given"},
      {{"-n", "--"}, "no archive given"},
      {{"-d", "file.dat"}, "no archive given ('-d' took 'file.dat' as its directory)"},
      {{"-l", "-t", "file.dat"}, "'-l' and '-t' cannot be used together"},
      {{"-j", "0", "file.dat"}, "option '-j' takes a number of jobs from 1 to 64, not '0'"},
      {{"file.dat", "-l"}, "option '-l' after an archive: options come first (use -- before an archive named so)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.given));
    const tool_result result = run(c.given);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, std::string("DarvEx: ") + c.what + "\n" + TRY_HELP);
    EXPECT_EQ(tree(), args{"file.dat"});
  }
}

TEST_F(CliOptions, ArchiveNamedLikeAnOptionIsGivenAfterDoubleDash) {
  three_entries().write_to((dir_ / "-odd.dat").string());
  fs::create_directories(dir_ / "-odd/levels");
  const tool_result result = run({"-l", "--", "-odd.dat"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.rfind("Archive: -odd.dat\n", 0), 0u);
  const tool_result extracted = run({"./-odd.dat"});
  EXPECT_EQ(extracted.status, 0) << extracted.err;
  EXPECT_EQ(file("-odd/readme.txt"), "read me\n");
}

}  // namespace
}  // namespace darvex::test_support
