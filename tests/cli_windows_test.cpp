// Black-box tests that only a Windows build passes: names that Windows would turn into a
// device, a hidden data stream or a parent directory are refused, and nothing reaches them;
// archive paths are Unicode, entry names are bytes in the ANSI code page; the options work
// with Windows paths. They run when $DARVEX_TOOL is a Windows executable (the x86_64 build
// under Wine) and are skipped against a native build, where those names are ordinary files.
//
// A run alone on a console that a Windows process gave it (as after a double-click) waits for
// Enter before the console closes, and packs back a folder dropped onto it: shown under Wine in
// a pseudo-terminal that `start /b` leaves to the tool.
//
// Wine takes the ANSI code page from the locale: 1252 under C.UTF-8, 932 under ja_JP.UTF-8,
// and writes file names to the Linux file system in UTF-8 under either, so these tests name
// the locale of each run and look for the files by their UTF-8 names.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "expected_output.hpp"
#include "own_console.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(CliWindows, NamesWindowsWouldNotKeepAsFilesAreRefused) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const std::vector<std::string> refused = {
      "CON",     "nul.txt", "Aux",     "COM1.log",     "lpt9", "prn.dat.bak",
      "CONOUT$", "conin$",  "sub/NUL", "x.txt:hidden", "ab:c", ".. ",
  };
  test_archive archive;
  archive.entries.push_back(entry("first.txt", "1"));
  for (const std::string& name : refused) archive.entries.push_back(entry(name, "sent to a device"));
  archive.entries.push_back(entry("last.txt", "2"));
  const scratch_dir dir;
  fs::create_directories(dir / "file/sub");
  archive.write_to((dir / "file.dat").string());

  const tool_result result = run_tool(dir.path(), {"file.dat"});
  EXPECT_EQ(result.status, 1);
  std::string expected_out = "\nfile\\first.txt\n";
  for (const std::string& name : refused) expected_out += "file\\" + name + "\n";
  EXPECT_EQ(result.out, expected_out + "file\\last.txt\nExtracion Complete");
  EXPECT_EQ(count_of(result.err, ": unsafe name: "), refused.size()) << result.err;
  EXPECT_EQ(count_of(result.err, "\n"), refused.size()) << result.err;
  EXPECT_EQ(list_tree(dir.path()), (std::vector<std::string>{"file", "file.dat", "file/first.txt", "file/last.txt",
                                                             "file/sub", "file/table.bin"}));
  EXPECT_EQ(read_file(dir / "file/last.txt"), "2");
}

// The locale of a run on the Western code page 1252.
const std::vector<std::string> WESTERN_LOCALE = {"LC_ALL=C.UTF-8"};

// The ja_JP.UTF-8 locale, for runs on the Japanese code page 932: generated with localedef
// into a scratch directory that LOCPATH names, so the system's locales are left as they are.
class japanese_locale {
 public:
  japanese_locale() {
    const std::string command = "localedef -i ja_JP -f UTF-8 '" + (dir_ / "ja_JP.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) == -1) return;  // warnings give a non-zero status, and a locale
    if (fs::exists(dir_ / "ja_JP.UTF-8/LC_CTYPE"))
      settings_ = {"LC_ALL=ja_JP.UTF-8", "LOCPATH=" + dir_.path().string()};
  }
  // The settings for run_tool, or nothing when the locale could not be made.
  const std::optional<std::vector<std::string>>& settings() const { return settings_; }

 private:
  scratch_dir dir_;
  std::optional<std::vector<std::string>> settings_;
};

TEST(CliWindows, ArchivePathsAreUnicodeAndTheRightArchiveIsExtracted) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const scratch_dir dir;
  // Over 260 characters with the scratch directory, the output directory over 248.
  const std::string deep = std::string(60, 'd') + "/" + std::string(60, 'e') + "/" + std::string(60, 'f') + "/" +
                           std::string(60, 'g') + "/" + std::string(60, 'h');
  fs::create_directories(dir / deep);
  const struct {
    std::string archive;
    std::string beside;      // another archive, which the best-fit mapping would open instead
    std::string output_dir;  // as the file system shows it (UTF-8)
    std::string shown;       // the output directory in the progress lines: ANSI, '?' for what 1252 lacks
  } cases[] = {
      {"\xCE\xA9mega.dat", "Omega.dat", "\xCE\xA9mega", "?mega"},                    // Ωmega
      {"\xE6\xA1\xA3\xE6\xA1\x88.dat", "", "\xE6\xA1\xA3\xE6\xA1\x88", "??"},        // 档案
      {"\xE2\x88\x95slash.dat", "", "\xE2\x88\x95slash", "?slash"},                  // ∕ (U+2215), best fit '/'
      {"pack\xE8\xA1\xA8\xE8\xA1\xA8\xE8\xA1\xA8\xE8\xA1\xA8", "", "pack", "pack"},  // four characters, 12 bytes
      {deep + "/long.dat", "", deep + "/long", deep + "/long"},
  };
  for (const auto& c : cases) {
    test_archive archive;
    archive.entries = {entry("a.txt", c.archive)};
    archive.write_to((dir / c.archive).string());
    test_archive other;
    other.entries = {entry("a.txt", "the other archive")};
    if (!c.beside.empty()) other.write_to((dir / c.beside).string());

    const tool_result result = run_tool(dir.path(), {c.archive}, run_options::with_environment(WESTERN_LOCALE));
    EXPECT_EQ(result.status, 0) << c.output_dir << ": " << result.err;
    EXPECT_EQ(result.out, "\n" + c.shown + "\\a.txt\nExtracion Complete") << c.output_dir;
    EXPECT_EQ(read_file(dir / c.output_dir / "a.txt"), c.archive) << c.output_dir;
    EXPECT_EQ(fs::file_size(dir / c.output_dir / "table.bin"), 524288u) << c.output_dir;
    if (!c.beside.empty()) {
      EXPECT_FALSE(fs::exists(dir / fs::path(c.beside).stem())) << c.beside;
    }
  }
}

struct stored_name {
  std::string bytes;    // as the index stores it, in the ANSI code page
  std::string created;  // the file it makes, by its UTF-8 name; empty when the name is refused
};

// Extracts `archive_path` holding one entry for each of `names` under `locale`, the directory
// parts of names made first, and checks which files were made and which names refused.
void expect_names_made(const std::vector<std::string>& locale, const std::string& archive_path,
                       const std::string& output_dir, const std::string& shown_dir,
                       const std::vector<std::string>& directories, const std::vector<stored_name>& names) {
  const scratch_dir dir;
  test_archive archive;
  std::string expected_out = "\n";
  std::vector<std::string> expected_tree = {output_dir, archive_path, output_dir + "/table.bin"};
  std::size_t refused = 0;
  for (const std::string& directory : directories) {
    fs::create_directories(dir / output_dir / directory);
    expected_tree.push_back(output_dir + "/" + directory);
  }
  for (const stored_name& name : names) {
    archive.entries.push_back(entry(name.bytes, "from " + name.created));
    expected_out += shown_dir + "\\" + name.bytes + "\n";
    if (name.created.empty()) {
      ++refused;
    } else {
      expected_tree.push_back(output_dir + "/" + name.created);
    }
  }
  archive.write_to((dir / archive_path).string());
  std::sort(expected_tree.begin(), expected_tree.end());

  const tool_result result = run_tool(dir.path(), {archive_path}, run_options::with_environment(locale));
  EXPECT_EQ(result.status, refused == 0 ? 0 : 1) << result.err;
  EXPECT_EQ(result.out, expected_out + "Extracion Complete");
  EXPECT_EQ(count_of(result.err, ": name is not valid in the system's ANSI code page\n"), refused) << result.err;
  EXPECT_EQ(count_of(result.err, "\n"), refused) << result.err;
  EXPECT_EQ(list_tree(dir.path()), expected_tree);
  for (const stored_name& name : names) {
    if (!name.created.empty()) {
      EXPECT_EQ(read_file(dir / output_dir / name.created), "from " + name.created);
    }
  }
}

TEST(CliWindows, EntryNamesAreConvertedFromTheWesternCodePage) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  expect_names_made(WESTERN_LOCALE, "file.dat", "file", "file", {"se\xC3\xB1or"},
                    {
                        {"caf\xE9.txt", "caf\xC3\xA9.txt"},                                  // café.txt
                        {"\x80uro.txt", "\xE2\x82\xACuro.txt"},                              // €: 1252, not Latin-1
                        {"\xC5ngstr\xF6m \xBD.bin", "\xC3\x85ngstr\xC3\xB6m \xC2\xBD.bin"},  // Ångström ½
                        {"se\xF1or\\ma\xF1"
                         "ana.txt",
                         "se\xC3\xB1or/ma\xC3\xB1"
                         "ana.txt"},  // señor\mañana
                    });
}

// On code page 932 the second byte of 表, ソ, 能 and 十 is 0x5C, '\\': names are checked as
// characters, so none of these bytes is taken for a separator.
TEST(CliWindows, EntryNamesAreConvertedFromTheJapaneseCodePage) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const japanese_locale japanese;
  if (!japanese.settings()) GTEST_SKIP() << "no ja_JP.UTF-8 locale (localedef, from Debian's locales package)";
  expect_names_made(*japanese.settings(), "\xE8\xA1\xA8.dat", "\xE8\xA1\xA8", "\x95\x5C", {"\xE8\x83\xBD"},
                    {
                        {"\x83\x5C..", "\xE3\x82\xBD"},        // ソ.. is ソ, not a ".." component
                        {"\x95\x5C.txt", "\xE8\xA1\xA8.txt"},  // 表.txt
                        {"\x94\x5C\\\x8F\x5C.bin", "\xE8\x83\xBD/\xE5\x8D\x81.bin"},  // 能\十.bin
                        {"caf\xE9.txt", ""},  // 0xE9 leads a pair; '.' ends none
                        {"end\x83", ""},      // a lead byte with nothing after it
                    });
}

// Windows takes É and é for one file name, as it takes E and e: of entries that differ only so,
// the later one wins, as in index order, however many threads extract. The later file is renamed
// onto the name, and the spelling left is the file system's choice: NTFS takes the rename's,
// Wine keeps the one already there.
TEST(CliWindows, NamesThatDifferOnlyInCaseAreOneFileWrittenInIndexOrder) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const struct {
    std::string first;
    std::string later;
    std::vector<std::string> files;  // the two names in UTF-8: one of them is left
  } pairs[] = {
      {"\xC9t\xE9.txt", "\xE9T\xC9.txt", {"\xC3\x89t\xC3\xA9.txt", "\xC3\xA9T\xC3\x89.txt"}},  // Été.txt, éTÉ.txt
      {"\xC6on.bin", "\xE6ON.bin", {"\xC3\x86on.bin", "\xC3\xA6ON.bin"}},                      // Æon.bin, æON.bin
      {"\xD8re", "\xF8RE", {"\xC3\x98re", "\xC3\xB8RE"}},                                      // Øre, øRE
  };
  test_archive archive;
  // The first of each pair is slow to inflate, so that without waiting its turn it would land last.
  for (const auto& pair : pairs) archive.entries.push_back(entry(pair.first, text_like(4 << 20, 5)));
  for (const auto& pair : pairs) archive.entries.push_back(entry(pair.later, "later"));
  const scratch_dir dir;
  archive.write_to((dir / "file.dat").string());

  const tool_result result = run_tool(dir.path(), {"-j4", "file.dat"}, run_options::with_environment(WESTERN_LOCALE));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const std::vector<std::string> tree = list_tree(dir.path());
  EXPECT_EQ(tree.size(), 3 + std::size(pairs)) << "file, file.dat, table.bin and one file for each pair";
  for (const auto& pair : pairs) {
    std::vector<std::string> left;
    for (const std::string& name : pair.files) {
      if (std::count(tree.begin(), tree.end(), "file/" + name) != 0) left.push_back(name);
    }
    ASSERT_EQ(left.size(), 1u) << pair.files[1];
    EXPECT_EQ(read_file(dir / "file" / left[0]), "later") << left[0];
  }
}

// `tree` with its ASCII letters upper-cased: names as Windows compares them.
std::vector<std::string> upper_cased(std::vector<std::string> tree) {
  for (std::string& path : tree) {
    for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  std::sort(tree.begin(), tree.end());
  return tree;
}

// Names with folder parts, split at '\' and '/' alike, make their folders part by part, each
// opened by its parent's handle; names of folders that differ only in case are one folder, and
// names in the ANSI code page (932) make folders and files of the right UTF-8 names.
TEST(CliWindows, NamesWithFolderPartsMakeTheirFoldersOneForNamesThatDifferInCase) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const japanese_locale japanese;
  const struct {
    const char* label;
    const std::vector<std::string>* locale;  // nullptr: the Japanese one
    std::vector<stored_name> files;
    std::vector<std::string> folders;  // UTF-8
  } cases[] = {
      {"mixed separators",
       &WESTERN_LOCALE,
       {{"data\\tex\\rock.dds", "data/tex/rock.dds"},
        {"data/a/b/c.txt", "data/a/b/c.txt"},
        {"data\\a/b\\d.txt", "data/a/b/d.txt"}},
       {"data", "data/a", "data/a/b", "data/tex"}},
      {"folder names that differ in case",
       &WESTERN_LOCALE,
       {{"Data\\x", "DATA/X"}, {"DATA\\y", "DATA/Y"}, {"data/Sub/z", "DATA/SUB/Z"}, {"DATA\\SUB\\w", "DATA/SUB/W"}},
       {"DATA", "DATA/SUB"}},
      {"code page 932",
       nullptr,
       {{"\x95\x5C\\\x83\x5C\\\x94\x5C.bin", "\xE8\xA1\xA8/\xE3\x82\xBD/\xE8\x83\xBD.bin"},  // 表\ソ\能.bin
        {"\x95\x5C/\x8F\x5C.txt", "\xE8\xA1\xA8/\xE5\x8D\x81.txt"}},                         // 表/十.txt
       {"\xE8\xA1\xA8", "\xE8\xA1\xA8/\xE3\x82\xBD"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    if (c.locale == nullptr && !japanese.settings()) continue;  // no ja_JP.UTF-8 locale to run it in
    const scratch_dir dir;
    test_archive archive;
    std::vector<std::string> expected = {"file", "file.dat", "file/table.bin"};
    std::vector<std::string> stored;
    for (const stored_name& name : c.files) {
      archive.entries.push_back(entry(name.bytes, "from " + name.created));
      stored.push_back(name.bytes);
      expected.push_back("file/" + name.created);
    }
    for (const std::string& folder : c.folders) expected.push_back("file/" + folder);
    archive.write_to((dir / "file.dat").string());

    const auto& locale = c.locale != nullptr ? *c.locale : *japanese.settings();
    const tool_result result = run_tool(dir.path(), {"-j", "4", "file.dat"}, run_options::with_environment(locale));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, progress("file", stored));
    const std::vector<std::string> tree = list_tree(dir.path());
    EXPECT_EQ(upper_cased(tree), upper_cased(expected));
    for (const std::string& path : tree) {
      const auto named = std::find_if(c.files.begin(), c.files.end(), [&](const stored_name& name) {
        return upper_cased({"file/" + name.created}) == upper_cased({path});
      });
      if (named != c.files.end()) {
        EXPECT_EQ(read_file(dir / path), "from " + named->created) << path;
      }
    }
  }
}

// The files a run writes under temporary names, in `folder`: ".DarvEx-partial-<process>-<serial>.".
std::vector<std::string> temporaries_in(const fs::path& folder) {
  std::vector<std::string> found;
  std::error_code ignored;
  for (const auto& item : fs::directory_iterator(folder, ignored)) {
    const std::string name = item.path().filename().string();
    if (name.rfind(".DarvEx-partial-", 0) == 0) found.push_back(name);
  }
  return found;
}

// A run killed while it writes leaves its temporary file, under a name no entry can have; the
// next run into that folder deletes it, and nothing that only looks like one.
TEST(CliWindows, AKilledRunsTemporaryFileIsRemovedByTheNextRun) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const scratch_dir dir;
  test_archive archive;
  for (int i = 0; i < 8; ++i) archive.entries.push_back(entry("big" + std::to_string(i), std::string(12 << 20, 'b')));
  archive.entries.push_back(entry("sub/small.txt", "small"));
  archive.write_to((dir / "file.dat").string());

  // Each run is killed as soon as a temporary file shows; one that lands between two files is
  // tried again.
  std::vector<std::string> left;
  for (int attempt = 0; attempt < 5 && left.empty(); ++attempt) {
    fs::remove_all(dir / "file");
    fs::create_directories(dir / "file/sub");
    const tool_result killed =
        run_tool(dir.path(), {"-j", "1", "file.dat"},
                 run_options::killed_when([&] { return !temporaries_in(dir / "file").empty(); }));
    ASSERT_TRUE(killed.signalled) << "the run ended before a temporary file was seen: " << killed.err;
    left = temporaries_in(dir / "file");
  }
  ASSERT_EQ(left.size(), 1u) << "no run was killed while it wrote";
  EXPECT_EQ(left[0].back(), '.') << left[0];
  // What a killed run left in a folder, and names that only look like its temporary files.
  write_file(dir / "file/sub/.DarvEx-partial-4000000-7.", "left in a folder");
  const std::vector<std::string> kept = {".DarvEx-partial-1-1", ".DarvEx-partial-x-1.", "DarvEx-partial-1-1."};
  for (const std::string& name : kept) write_file(dir / "file/sub" / name, name);

  const tool_result result = run_tool(dir.path(), {"file.dat"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(temporaries_in(dir / "file"), std::vector<std::string>{});
  std::vector<std::string> look_alike = temporaries_in(dir / "file/sub");
  std::sort(look_alike.begin(), look_alike.end());
  EXPECT_EQ(look_alike, (std::vector<std::string>{".DarvEx-partial-1-1", ".DarvEx-partial-x-1."}));
  for (const std::string& name : kept) EXPECT_EQ(read_file(dir / "file/sub" / name), name);
  EXPECT_EQ(fs::file_size(dir / "file/big7"), 12u << 20);
  EXPECT_EQ(read_file(dir / "file/sub/small.txt"), "small");
}

TEST(CliWindows, ListTestDirectoryAndIncludeWorkWithWindowsPaths) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const std::string cafe = "caf\xE9.txt";  // café.txt in code page 1252
  const struct {
    std::vector<std::string> args;
    std::string out;
    std::vector<std::string> made;  // what exists besides file.dat afterwards
  } cases[] = {
      {{"-l", "file.dat"},
       "Archive: file.dat\n"
       "       Size         Span  Name\n"
       "-----------  -----------  ----\n"
       "          5           13  a.txt\n"
       "          6           14  B.XML\n"
       "          5           13  " +
           cafe +
           "\n"
           "-----------  -----------  ----\n"
           "         16           40  3 entries\n",
       {}},
      {{"-t", "file.dat"},
       "Archive: file.dat\nOK      a.txt\nOK      B.XML\nOK      " + cafe + "\n3 entries tested: all OK\n",
       {}},
      {{"-d", "out\\deep", "file.dat"},
       "\nout\\deep\\a.txt\nout\\deep\\B.XML\nout\\deep\\" + cafe + "\nExtracion Complete",
       {"out", "out/deep", "out/deep/B.XML", "out/deep/a.txt", "out/deep/caf\xC3\xA9.txt", "out/deep/table.bin"}},
      {{"-i", "*.xml", "file.dat"}, "\nfile\\B.XML\nExtracion Complete", {"file", "file/B.XML", "file/table.bin"}},
      {{"-i", "CAF\xC3\x89.*", "file.dat"},  // CAFÉ.* matches café.txt
       "\nfile\\" + cafe + "\nExtracion Complete",
       {"file", "file/caf\xC3\xA9.txt", "file/table.bin"}},
  };
  test_archive archive;
  archive.entries = {entry("a.txt", "alpha"), entry("B.XML", "<b/>\r\n"), entry(cafe, "cr\xE8me")};
  for (const auto& c : cases) {
    const scratch_dir dir;
    archive.write_to((dir / "file.dat").string());
    const tool_result result = run_tool(dir.path(), c.args, run_options::with_environment(WESTERN_LOCALE));
    EXPECT_EQ(result.status, 0) << c.args[1] << ": " << result.err;
    EXPECT_EQ(result.err, "") << c.args[1];
    EXPECT_EQ(result.out, c.out) << c.args[1];
    std::vector<std::string> expected = c.made;
    expected.push_back("file.dat");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(list_tree(dir.path()), expected) << c.args[1];
  }
}

TEST(CliWindows, MessagesNameFilesUnderAFolderWithBackslashes) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const scratch_dir dir;
  fs::create_directories(dir / "in/sub");
  write_file(dir / "in/sub/big.bin", std::string(13107201, 'b'));  // one byte past the entry buffer
  for (const std::string folder : {"in", "in\\"}) {
    const tool_result result = run_tool(dir.path(), {"-c", "new.dat", folder});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "DarvEx: \"in\\sub\\big.bin\": 13107201 bytes exceeds the 13107200-byte entry buffer\n");
  }
}

// Wine lists a symbolic link to a file as that file, one to a folder as a folder and a FIFO as
// an empty file: -c finds each one for what it is, never reads through it, and leaves it out
// when -x says so.
TEST(CliWindows, LinksAndFifosUnderAFolderBeingPackedAreNeverFollowedUnlessLeftOut) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const scratch_dir dir;
  write_file(dir / "secret.txt", "secret");
  for (const auto& c : unfollowed_things()) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir / "in");
    fs::create_directories(dir / "in/sub");
    write_file(dir / "in/ok.txt", "ok");
    c.plant(dir / "in/sub" / c.name);
    for (const char* jobs : {"1", "2"}) {
      const tool_result refused = run_tool(dir.path(), {"-j", jobs, "-c", "new.dat", "in"});
      EXPECT_EQ(refused.status, 2);
      EXPECT_EQ(refused.err, "DarvEx: \"in\\sub\\" + std::string(c.name) +
                                 "\": a link, FIFO, socket or device: never followed or read (leave it out with -x)\n");
      EXPECT_FALSE(fs::exists(dir / "new.dat"));
    }
    const tool_result made = run_tool(dir.path(), {"-q", "-c", "new.dat", "-x", std::string("sub/") + c.name, "in"});
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err, "");
    fs::remove(dir / "new.dat");
  }
}

TEST(CliWindows, NoEntryReplacesTheArchiveByAnotherCaseOrASecondName) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const scratch_dir dir;
  test_archive archive;
  archive.entries = {entry("a.txt", "a"), entry("SELF.DAT", "x"), entry("self.dat.", "y"), entry("b.txt", "b")};
  archive.write_to((dir / "self.dat").string());
  const std::string before = read_file(dir / "self.dat");
  for (const char* jobs : {"1", "3"}) {
    const tool_result result = run_tool(dir.path(), {"-j", jobs, "-d", ".", "self.dat"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "DarvEx: entry 2 (SELF.DAT): would replace the archive being read\n"
              "DarvEx: entry 3 (self.dat.): would replace the archive being read\n");
    EXPECT_EQ(read_file(dir / "self.dat"), before);
    EXPECT_EQ(read_file(dir / "b.txt"), "b");
  }
  // A second name of the archive, in another folder and another case.
  test_archive linked;
  linked.entries = {entry("OTHER-NAME.DAT", "x"), entry("c.txt", "c")};
  linked.write_to((dir / "linked.dat").string());
  fs::create_directories(dir / "linked");
  fs::create_hard_link(dir / "linked.dat", dir / "linked/other-name.dat");
  const tool_result result = run_tool(dir.path(), {"linked.dat"});
  EXPECT_EQ(result.err, "DarvEx: entry 1 (OTHER-NAME.DAT): would replace the archive being read\n");
  EXPECT_EQ(read_file(dir / "linked/c.txt"), "c");
}

const std::string CLOSING_PROMPT = "Press Enter to close this window.";

bool shows(const console_session& session, const std::string& text) {
  return session.shown.find(without_layout(text)) != std::string::npos;
}

// Whether the console showed `text`, and the closing prompt after it.
bool shows_then_prompts(const console_session& session, const std::string& text) {
  const std::size_t at = session.shown.find(without_layout(text));
  return at != std::string::npos && session.shown.find(without_layout(CLOSING_PROMPT), at) != std::string::npos;
}

TEST(CliWindows, AConsoleOfItsOwnStaysUntilEnterAfterSuccessAndFailureAlike) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const scratch_dir dir;
  test_archive archive;
  archive.entries = {entry("a.txt", "alpha")};
  archive.write_to((dir / "file.dat").string());
  const struct {
    std::vector<std::string> args;
    std::string shown;
  } cases[] = {
      {{"file.dat"}, "file\\a.txt\nExtracion Complete"},
      {{"missing.dat"}, "DarvEx: \"missing.dat\": cannot open"},
  };
  for (const auto& c : cases) {
    const console_session session = run_in_own_console(dir.path(), c.args, CLOSING_PROMPT);
    EXPECT_TRUE(shows_then_prompts(session, c.shown)) << c.args[0] << ": " << session.shown;
    EXPECT_TRUE(session.waited) << c.args[0] << ": the console closed before Enter";
    EXPECT_TRUE(session.closed) << c.args[0] << ": Enter did not end the run";
  }
  EXPECT_EQ(read_file(dir / "file/a.txt"), "alpha");
}

TEST(CliWindows, AFolderDroppedOnItIsPackedBackIntoItsArchiveKeptOnceAsBak) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const scratch_dir dir;
  test_archive archive;
  archive.entries = {entry("a.txt", "alpha"), entry("data\\b.bin", "beta")};
  archive.write_to((dir / "file.dat").string());
  const std::string original = read_file(dir / "file.dat");
  ASSERT_EQ(run_tool(dir.path(), {"-q", "file.dat"}).status, 0);
  write_file(dir / "file/a.txt", "changed");

  const console_session session = run_in_own_console(dir.path(), {"file"}, CLOSING_PROMPT);
  EXPECT_TRUE(shows(session, "file\\a.txt  (new)")) << session.shown;
  EXPECT_TRUE(shows_then_prompts(session, "Created file.dat: 2 entries (1 kept, 1 new, 0 added)")) << session.shown;
  EXPECT_TRUE(session.waited);
  EXPECT_TRUE(session.closed);
  EXPECT_EQ(read_file(dir / "file.dat.bak"), original);
  fs::remove_all(dir / "file");
  EXPECT_EQ(run_tool(dir.path(), {"-q", "file.dat"}).status, 0);
  EXPECT_EQ(read_file(dir / "file/a.txt"), "changed");
  EXPECT_EQ(read_file(dir / "file/data/b.bin"), "beta");
}

}  // namespace
}  // namespace darvex::test_support
