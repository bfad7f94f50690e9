// Black-box tests of what the tool never does, whatever it finds: write through a link, a FIFO
// or a device already in the output directory, extract into the archive's own folder, let an
// archive's names drive the terminal, inflate the same data twice, or lose files when standard
// output fails. Tests that need POSIX devices, hard links or permissions are in the suite
// Safety; the others (CliSafety) also run against a Windows build, which under Wine sees the
// Linux links and FIFOs that a test plants.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "expected_output.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

using names = std::vector<std::string>;

class Safety : public ::testing::Test {
 protected:
  tool_result extract(const test_archive& archive, const run_options& routing = {}) {
    archive.write_to((dir_ / "file.dat").string());
    return run_tool(dir_.path(), {"file.dat"}, routing);
  }
  std::string file(const std::string& relative) const { return read_file(dir_ / relative); }
  bool is_link(const std::string& relative) const { return fs::is_symlink(fs::symlink_status(dir_ / relative)); }

  scratch_dir dir_;
  scratch_dir elsewhere_;  // outside the tree the tool works in
};

TEST_F(Safety, WhatStandsAtAnEntrysNameIsReplacedNeverWrittenThrough) {
  write_file(elsewhere_ / "victim", "victim");
  fs::create_directories(dir_ / "file");
  fs::create_symlink(elsewhere_ / "victim", dir_ / "file/link.txt");
  fs::create_symlink(elsewhere_ / "victim", dir_ / "file/table.bin");
  fs::create_symlink(elsewhere_ / "nothing-yet", dir_ / "file/dangling.txt");
  write_file(dir_ / "other-name", "other name");
  fs::create_hard_link(dir_ / "other-name", dir_ / "file/hard.txt");
  ASSERT_EQ(mkfifo((dir_ / "file/fifo.bin").c_str(), 0600), 0);
  write_file(dir_ / "file/readonly.txt", "read-only");
  fs::permissions(dir_ / "file/readonly.txt", fs::perms::owner_read);

  const names replaced = {"link.txt", "dangling.txt", "hard.txt", "fifo.bin", "readonly.txt"};
  test_archive archive;
  for (const std::string& name : replaced) archive.entries.push_back(entry(name, "new " + name));
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, progress("file", replaced));
  EXPECT_EQ(read_file(elsewhere_ / "victim"), "victim");
  EXPECT_FALSE(fs::exists(elsewhere_ / "nothing-yet"));
  EXPECT_EQ(file("other-name"), "other name");
  for (const std::string& name : replaced) {
    EXPECT_FALSE(is_link("file/" + name)) << name;
    EXPECT_TRUE(fs::is_regular_file(dir_ / ("file/" + name))) << name;
    EXPECT_EQ(file("file/" + name), "new " + name);
  }
  EXPECT_FALSE(is_link("file/table.bin"));
  EXPECT_EQ(fs::file_size(dir_ / "file/table.bin"), 524288u);
}

// Enough progress text to fill any pipe: the reader's close must land mid-run.
test_archive many_long_names() {
  test_archive archive;
  for (int i = 0; i < 3500; ++i) {
    archive.entries.push_back(entry(std::string(100, 'n') + std::to_string(i), std::to_string(i)));
  }
  return archive;
}

TEST_F(Safety, FailingStandardOutputCostsNoFileAndIsReported) {
  const test_archive archive = many_long_names();
  // A pipe closed early is a reader that wanted no more (`| head`): no failure, said nowhere.
  const struct {
    const char* label;
    run_options routing;
    int status;
    const char* err;
  } cases[] = {
      {"a full device", run_options::stdout_to("/dev/full"), 1, "DarvEx: standard output: No space left on device\n"},
      {"a pipe closed after its first byte", run_options::pipe_closed_after(1), 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(dir_ / "file");
    const tool_result result = extract(archive, c.routing);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(list_tree(dir_ / "file").size(), 3501u) << "every entry and table.bin";
    EXPECT_EQ(file("file/" + std::string(100, 'n') + "3499"), "3499");
  }
  EXPECT_EQ(run_tool(dir_.path(), {"-l", "file.dat"}, run_options::stdout_to("/dev/full")).status, 1);
  EXPECT_EQ(run_tool(dir_.path(), {}, run_options::stdout_to("/dev/full")).status, 1) << "the usage text too";
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool SANITIZED = true;  // sanitizers reserve more address space than any small limit
#else
constexpr bool SANITIZED = false;
#endif

TEST_F(Safety, AnEntryWithoutMemoryForItsBuffersFailsAloneAndTheRunGoesOn) {
  if (SANITIZED) GTEST_SKIP() << "an address-space limit stops a sanitized tool from starting";
  test_archive archive;
  archive.entries = {entry("small.txt", "hi"), entry("big.bin", incompressible(13000000, 1)),
                     entry("after.txt", "after")};
  archive.write_to((dir_ / "big.dat").string());
  // 25 MB of address space: the tool and its small buffers fit, the 26 MB for big.bin do not.
  const std::string command =
      "cd '" + dir_.path().string() + "' && ulimit -v 25000 && exec '" + tool_path() + "' -j 1 big.dat >out 2>err";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(file("err"), "DarvEx: entry 2 (big.bin): not enough memory for its 26003976-byte buffers\n");
  EXPECT_EQ(file("big/small.txt"), "hi");
  EXPECT_EQ(file("big/after.txt"), "after");
  EXPECT_FALSE(fs::exists(dir_ / "big/big.bin"));
}

class CliSafety : public Safety {};

// `DarvEx ... | head -1`: the reader takes a line and goes. Each command keeps its status, says
// nothing about the pipe, and extraction still writes every file.
TEST_F(CliSafety, AReaderThatStopsEarlyCostsNoFileAndNoFailure) {
  test_archive archive = many_long_names();
  archive.entries.front() = entry("../refused", "x");
  archive.write_to((dir_ / "file.dat").string());
  const struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"-l", "file.dat"}, 1},
      {{"-t", "-x", "../*", "file.dat"}, 0},
      {{"-t", "file.dat"}, 1},
      {{"file.dat"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const tool_result result = run_tool(dir_.path(), c.args, run_options::pipe_closed_after(1));
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err, c.status == 0 ? ""
                                        : "DarvEx: entry 1 (../refused): unsafe name: a \"..\" component leaves "
                                          "the output directory\n");
  }
  EXPECT_EQ(list_tree(dir_ / "file").size(), 3500u) << "every entry but the refused one, and table.bin";
  EXPECT_EQ(file("file/" + std::string(100, 'n') + "3499"), "3499");
}

TEST_F(CliSafety, ALinkedDirectoryPartIsRefusedAndADirectoryAtTheNameFailsThatEntry) {
  fs::create_directories(dir_ / "file/real");
  fs::create_directories(elsewhere_ / "sub");
  fs::create_directory_symlink(elsewhere_ / "sub", dir_ / "file/sub");
  fs::create_directory_symlink(dir_ / "file/real", dir_ / "file/inside");  // even one that stays inside
  fs::create_directories(dir_ / "file/taken/x");
  test_archive archive;
  archive.entries = {entry("sub/y.txt", "escaped"), entry("inside/z.txt", "z"), entry("taken", "t"),
                     entry("real/ok.txt", "ok")};
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, progress("file", {"sub/y.txt", "inside/z.txt", "taken", "real/ok.txt"}));
  EXPECT_EQ(result.err,
            "DarvEx: entry 1 (sub/y.txt): cannot extract through a symbolic link\n"
            "DarvEx: entry 2 (inside/z.txt): cannot extract through a symbolic link\n"
            "DarvEx: entry 3 (taken): cannot create: Is a directory\n");
  EXPECT_TRUE(fs::is_empty(elsewhere_ / "sub"));
  EXPECT_FALSE(fs::exists(dir_ / "file/real/z.txt"));
  EXPECT_TRUE(fs::exists(dir_ / "file/taken/x"));
  EXPECT_EQ(file("file/real/ok.txt"), "ok");
}

TEST_F(CliSafety, TheOutputDirectoryItselfMayBeALink) {
  fs::create_directories(elsewhere_ / "target");
  fs::create_directory_symlink(elsewhere_ / "target", dir_ / "file");
  test_archive archive;
  archive.entries = {entry("a.txt", "a")};
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(read_file(elsewhere_ / "target/a.txt"), "a");
}

TEST_F(CliSafety, ASeparatorAmongTheDroppedCharactersStopsBeforeAnythingIsMade) {
  fs::create_directories(dir_ / "home");
  write_file(dir_ / "home/.profile", "profile");
  test_archive archive;
  archive.entries = {entry(".profile", "overwritten"), entry("pak", "x")};
  archive.write_to((dir_ / "home/pak").string());
  const std::vector<std::string> before = list_tree(dir_.path());
  for (const char* path : {"home/pak", "home\\pak"}) {
    if (std::string(path).find('\\') != std::string::npos && !testing_a_windows_build()) continue;
    const tool_result result = run_tool(dir_.path(), {path});
    EXPECT_EQ(result.status, 2) << path;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find(": no output directory: a path separator is among the last four characters"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(list_tree(dir_.path()), before);
    EXPECT_EQ(file("home/.profile"), "profile");
  }
  // -d names the directory instead.
  const tool_result chosen = run_tool(dir_.path(), {"-d", "out", "home/pak"});
  EXPECT_EQ(chosen.status, 0) << chosen.err;
  EXPECT_EQ(file("out/.profile"), "overwritten");
  EXPECT_EQ(file("home/.profile"), "profile");
}

TEST_F(CliSafety, NamesReachNoTerminalRaw) {
  const std::string repaint = "\x1B[2J\x1B[Hclean.txt";
  const std::string fake_line = "ok\nfile\\..\\..\\etc\\passwd";
  const std::string c1 =
      "csi\xC2\x9B"
      "31m.txt";
  const std::string carriage = "half\rdone.txt";
  test_archive archive;
  archive.entries = {entry(repaint, "1"), entry(fake_line, "2"), entry(c1, "3"), entry(carriage, "4"),
                     entry("caf\xC3\xA9.txt", "5")};
  const tool_result result = extract(archive);
  EXPECT_EQ(result.out, progress("file", {"\\x1B[2J\\x1B[Hclean.txt", "ok\\x0Afile\\..\\..\\etc\\passwd",
                                          "csi\\xC2\\x9B31m.txt", "half\\x0Ddone.txt", "caf\xC3\xA9.txt"}));
  EXPECT_NE(result.err.find("DarvEx: entry 2 (ok\\x0Afile\\..\\..\\etc\\passwd): unsafe name"), std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find('\x1B'), std::string::npos);
  EXPECT_EQ(result.err.find('\r'), std::string::npos);
  const tool_result listed = run_tool(dir_.path(), {"-l", "file.dat"});
  EXPECT_NE(listed.out.find("  \\x1B[2J\\x1B[Hclean.txt\n"), std::string::npos) << listed.out;
  EXPECT_EQ(listed.out.find('\x1B'), std::string::npos);
  const tool_result tested = run_tool(dir_.path(), {"-t", "file.dat"});
  EXPECT_NE(tested.out.find("OK      csi\\xC2\\x9B31m.txt\n"), std::string::npos) << tested.out;
  if (!testing_a_windows_build()) {  // Windows keeps no control characters in file names
    EXPECT_EQ(file("file/" + repaint), "1") << "the file keeps the stored name";
    EXPECT_EQ(file("file/" + carriage), "4");
  }
}

TEST_F(CliSafety, OverlappingSpansAreNotInflatedAgain) {
  const std::string data = text_like(200000, 3);
  test_archive archive;
  archive.entries.push_back(entry("first.txt", data));
  // Each of these points back at the first stream; their spans would run over it again.
  for (int i = 0; i < 20; ++i) {
    test_entry again{numbered("again", i), "", 200000, 12};
    test_entry past{numbered("past", i), "", 200000, 0x7FFFFFF0u};
    archive.entries.push_back(again);
    archive.entries.push_back(past);
  }
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 1);
  std::uintmax_t written = 0;
  for (const auto& item : fs::directory_iterator(dir_ / "file")) {
    if (item.path().filename() != "table.bin") written += item.file_size();
  }
  EXPECT_LE(written, data.size()) << "the data is extracted once at most";

  // Offsets that go back and forth: every second span would re-read the first.
  test_archive back_and_forth;
  back_and_forth.entries = {entry("a.txt", data), entry("b.txt", "bb")};
  const std::uint32_t b_offset = static_cast<std::uint32_t>(back_and_forth.stream_offsets()[1]);
  for (int i = 0; i < 10; ++i) {
    back_and_forth.entries.push_back({numbered("a", i), "", 200000, 12});
    back_and_forth.entries.push_back({numbered("b", i), "", 2, b_offset});
  }
  fs::remove_all(dir_ / "file");
  const tool_result twice = extract(back_and_forth);
  EXPECT_EQ(twice.status, 1);
  EXPECT_NE(twice.err.find("entry 3 (a0): span at 12 overlaps the previous entry's data"), std::string::npos)
      << twice.err;
  EXPECT_FALSE(fs::exists(dir_ / "file/a0"));
  EXPECT_EQ(file("file/a.txt"), data);
}

bool is_a_fifo(const fs::path& path) { return fs::is_fifo(fs::symlink_status(path)); }

// A link to a file outside or a FIFO, where an entry (x.bin) or the index dump (table.bin) is
// written: the file replaces it, or with -n it is kept; nothing is written through it and
// nothing blocks. Wine neither renames over a FIFO nor deletes one ("special files"), so a
// Windows build under Wine leaves a FIFO there and fails what would have replaced it. Real
// Windows keeps no FIFO in a folder.
TEST_F(CliSafety, ALinkOrFifoWhereAFileGoesIsReplacedOrKeptNeverWrittenThrough) {
  enum class planted { link, fifo };
  const struct {
    const char* at;
    planted what;
    bool keep;  // -n
  } cases[] = {
      {"x.bin", planted::link, false},     {"table.bin", planted::link, false}, {"x.bin", planted::fifo, false},
      {"table.bin", planted::fifo, false}, {"x.bin", planted::link, true},      {"table.bin", planted::link, true},
      {"x.bin", planted::fifo, true},      {"table.bin", planted::fifo, true},
  };
  test_archive archive;
  archive.entries = {entry("x.bin", "new x"), entry("after.txt", "after")};
  archive.write_to((dir_ / "file.dat").string());
  for (const auto& c : cases) {
    const bool link = c.what == planted::link;
    SCOPED_TRACE(std::string(link ? "a link" : "a FIFO") + " at " + c.at + (c.keep ? " with -n" : ""));
    fs::remove_all(dir_ / "file");
    fs::create_directories(dir_ / "file");
    write_file(elsewhere_ / "victim", "victim");
    const fs::path at = dir_ / "file" / c.at;
    if (link) {
      fs::create_symlink(elsewhere_ / "victim", at);
    } else {
      ASSERT_EQ(mkfifo(at.c_str(), 0600), 0);
    }
    const tool_result result = run_tool(dir_.path(), c.keep ? names{"-n", "file.dat"} : names{"file.dat"});

    const bool entry_at = std::string(c.at) == "x.bin";
    const bool refused = !link && !c.keep && testing_a_windows_build();
    EXPECT_EQ(read_file(elsewhere_ / "victim"), "victim");
    EXPECT_EQ(link ? is_link("file/" + std::string(c.at)) : is_a_fifo(at), c.keep || refused);
    if (refused && !entry_at) {  // the index dump cannot be written: the run stops
      EXPECT_EQ(result.status, 2);
      EXPECT_EQ(result.err, "DarvEx: \"table.bin\": cannot create: Permission denied\n");
      EXPECT_FALSE(fs::exists(dir_ / "file/x.bin"));
      continue;
    }
    EXPECT_EQ(result.status, refused ? 1 : 0);
    EXPECT_EQ(result.err, refused ? "DarvEx: entry 1 (x.bin): cannot create: Permission denied\n" : "");
    const std::string x_line = c.keep && entry_at ? "x.bin  (exists, not replaced)" : "x.bin";
    EXPECT_EQ(result.out, progress("file", {x_line, "after.txt"}));
    EXPECT_EQ(file("file/after.txt"), "after");
    if (!entry_at || (!c.keep && !refused)) {
      EXPECT_EQ(file("file/x.bin"), "new x");
    }
    if (!entry_at && !c.keep) {
      EXPECT_EQ(fs::file_size(at), 524288u);
    }
  }
}

// Ctrl-C (SIGINT; under Wine it reaches a Windows build as Ctrl-C) mid-run: no entry is taken
// after it, those in flight are finished and said, no temporary file is left, and the run ends
// with "interrupted" and 128 + 2.
TEST_F(CliSafety, AnInterruptStopsTheRunBetweenEntriesAndLeavesNoPartOfAFile) {
  constexpr int ENTRIES = 3000;
  test_archive archive;
  for (int i = 0; i < ENTRIES; ++i)
    archive.entries.push_back(entry(numbered("n", i), text_like(4096, static_cast<std::uint32_t>(i))));
  archive.write_to((dir_ / "file.dat").string());
  const tool_result result =
      run_tool(dir_.path(), {"-j", "2", "file.dat"},
               run_options::interrupted_when([&] { return written_so_far(dir_.path(), "file", "n19"); }));
  ASSERT_TRUE(result.signalled) << result.err;
  EXPECT_EQ(result.status, 130);
  EXPECT_EQ(result.err, "DarvEx: interrupted\n");
  // Every entry said is there whole, in index order; nothing else is.
  std::vector<std::string> said;
  for (int i = 0; result.out.find("\nfile\\" + numbered("n", i) + "\n") != std::string::npos; ++i) {
    said.push_back(numbered("n", i));
  }
  EXPECT_GE(said.size(), 20u);
  EXPECT_LT(said.size(), static_cast<std::size_t>(ENTRIES));
  EXPECT_EQ(result.out, progress("file", said).substr(0, result.out.size()));
  names expected = {"table.bin"};
  for (const std::string& name : said) expected.push_back(name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(list_tree(dir_ / "file"), expected) << "no temporary file, no entry not said";
  for (std::size_t i = 0; i < said.size(); i += 97) {
    EXPECT_EQ(file("file/" + said[i]), text_like(4096, static_cast<std::uint32_t>(i))) << said[i];
  }
}

TEST_F(CliSafety, AnEntryNamedTableBinIsWrittenAndSaidSoOnce) {
  test_archive archive;
  archive.entries = {entry("table.bin", "the entry's own bytes"), entry("x.txt", "x"), entry("table.bin", "again")};
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, progress("file", {"table.bin", "x.txt", "table.bin"}));
  EXPECT_EQ(result.err, "DarvEx: entry 1 (table.bin): replaces the index dump table.bin (the entry is kept)\n");
  EXPECT_EQ(file("file/table.bin"), "again");
}

}  // namespace
}  // namespace darvex::test_support
