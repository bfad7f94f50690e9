// Black-box tests of what is left when a run is killed, interrupted, starved or limited: only
// whole files under entry names, and temporaries that the next run removes. Also what the tool
// refuses to read as an archive or to replace with an entry, and what -n reads. They need POSIX
// signals, limits and file types, and are skipped against a Windows build.

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "expected_output.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

using namespace std::chrono_literals;

constexpr const char* TEMPORARY_PREFIX = ".DarvEx-partial\\";

bool is_temporary(const fs::path& path) { return path.filename().string().rfind(TEMPORARY_PREFIX, 0) == 0; }

// What each entry name should hold: the last entry of each name wins.
std::map<std::string, std::string> expected_files(const test_archive& archive,
                                                  const std::vector<std::string>& contents) {
  std::map<std::string, std::string> files;
  for (std::size_t i = 0; i < archive.entries.size(); ++i) files[archive.entries[i].name] = contents[i];
  return files;
}

class WholeFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing_a_windows_build()) GTEST_SKIP() << "POSIX signals, limits and file types";
  }

  // An archive of `count` entries of `size` bytes each, named e0, e1...; their contents too.
  test_archive sized_archive(int count, std::size_t size, std::vector<std::string>& contents) const {
    test_archive archive;
    for (int i = 0; i < count; ++i) {
      contents.push_back(i % 2 == 0 ? incompressible(size, i) : text_like(size, i));
      archive.entries.push_back(entry(numbered("e", i), contents.back()));
    }
    archive.write_to((dir_ / "file.dat").string());
    return archive;
  }

  // Runs `command` (a shell command line) in the scratch directory, the tool as $DARVEX.
  tool_result shell(const std::string& command) const {
    return run_program(dir_.path(), {"sh", "-c", "DARVEX='" + tool_path() + "'; " + command});
  }

  // Every regular file in `folder` is a whole entry or a temporary; returns how many temporaries.
  int expect_only_whole_files(const fs::path& folder, const std::map<std::string, std::string>& expected) const {
    int temporaries = 0;
    if (!fs::exists(folder)) return 0;
    for (const auto& item : fs::directory_iterator(folder)) {
      const std::string name = item.path().filename().string();
      if (is_temporary(item.path())) {
        ++temporaries;
      } else if (name != "table.bin") {
        EXPECT_TRUE(expected.count(name) == 1 && read_file(item.path()) == expected.at(name)) << name << " is cut";
      }
    }
    return temporaries;
  }

  std::string file(const std::string& relative) const { return read_file(dir_ / relative); }

  static int temporaries_in(const fs::path& folder) {
    int temporaries = 0;
    for (const auto& item : fs::directory_iterator(folder)) temporaries += is_temporary(item.path());
    return temporaries;
  }

  scratch_dir dir_;
};

TEST_F(WholeFiles, AKilledRunLeavesOnlyWholeFilesAndTheNextRunRemovesItsTemporaries) {
  std::vector<std::string> contents;
  const test_archive archive = sized_archive(16, 2000000, contents);
  const std::map<std::string, std::string> expected = expected_files(archive, contents);
  int temporaries_seen = 0;
  for (const auto delay : {5ms, 30ms, 100ms}) {
    for (const char* jobs : {"1", "3"}) {
      SCOPED_TRACE(std::to_string(delay.count()) + " ms, -j " + jobs);
      fs::remove_all(dir_ / "file");
      const tool_result killed =
          run_tool(dir_.path(), {"-j", jobs, "file.dat"}, run_options::signalled_after(SIGKILL, delay));
      // A new output directory is filled under a temporary name beside it: that is what a
      // killed run leaves, and no file under an entry's name.
      temporaries_seen += expect_only_whole_files(dir_ / "file", expected) + temporaries_in(dir_.path());
      if (killed.signal == 0) continue;  // it finished first
      const tool_result again = run_tool(dir_.path(), {"-j", jobs, "file.dat"});
      EXPECT_EQ(again.status, 0) << again.err;
      EXPECT_EQ(expect_only_whole_files(dir_ / "file", expected), 0) << "the killed run's temporaries are gone";
      EXPECT_EQ(temporaries_in(dir_.path()), 0) << "and so is the folder it was filling";
      EXPECT_EQ(list_tree(dir_ / "file").size(), 17u);
    }
  }
  std::printf("killed runs left %d temporaries, each removed by the next run\n", temporaries_seen);
}

// A temporary is told live by the lock its writer holds, not by a process number, which another
// process-number namespace (a container sharing the folder) may reuse or not know.
TEST_F(WholeFiles, OnlyTemporariesThatNoOneHoldsLockedAreRemoved) {
  test_archive archive;
  archive.entries = {entry("a", "a")};
  archive.write_to((dir_ / "file.dat").string());
  fs::create_directories(dir_ / "file");
  const std::string own = std::to_string(getpid());
  const fs::path held = dir_ / "file" / (".DarvEx-partial\\" + own + "-1");
  const fs::path unheld = dir_ / "file" / (".DarvEx-partial\\" + own + "-2");
  write_file(held, "a live run's");
  write_file(unheld, "a killed run's, though its number is alive");
  const int holder = open(held.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  const tool_result result = run_tool(dir_.path(), {"file.dat"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(fs::exists(held)) << "held: still being written";
  EXPECT_FALSE(fs::exists(unheld)) << "held by no one: left by a killed run";
  close(holder);
}

TEST_F(WholeFiles, AnInterruptStopsTakingEntriesSaysSoAndLeavesNoTemporary) {
  std::vector<std::string> contents;
  const test_archive archive = sized_archive(40, 3000000, contents);
  const std::map<std::string, std::string> expected = expected_files(archive, contents);
  const struct {
    int signal;
    int status;
  } cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
  for (const auto& c : cases) {
    for (const char* jobs : {"1", "4"}) {
      SCOPED_TRACE(std::string(strsignal(c.signal)) + ", -j " + jobs);
      fs::remove_all(dir_ / "file");
      // Once table.bin is there, the entries have begun.
      const tool_result result = run_tool(
          dir_.path(), {"-j", jobs, "file.dat"},
          run_options::signalled_when(c.signal, [&] { return written_so_far(dir_.path(), "file", "table.bin"); }));
      EXPECT_EQ(result.status, c.status);
      EXPECT_EQ(result.err, "DarvEx: interrupted\n");
      EXPECT_EQ(result.out.find("Extracion Complete"), std::string::npos);
      EXPECT_EQ(expect_only_whole_files(dir_ / "file", expected), 0);
      const std::size_t lines = static_cast<std::size_t>(std::count(result.out.begin(), result.out.end(), '\n'));
      EXPECT_EQ(lines - 1, list_tree(dir_ / "file").size() - 1) << "a line for every file written, and only those";
      EXPECT_LT(lines, 41u) << "it stopped before the last entry";
    }
  }
}

// A file system of a few megabytes, mounted for the test where the machine lets it.
class small_file_system {
 public:
  small_file_system(const fs::path& at, const char* size) : at_(at) {
    fs::create_directories(at);
    const std::string options = std::string("size=") + size;
    mounted_ = mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~small_file_system() {
    if (mounted_) umount2(at_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  fs::path at_;
  bool mounted_;
};

TEST_F(WholeFiles, EntriesThatDoNotFitAFullDiskFailAloneAndLaterOnesAreWritten) {
  const small_file_system disk(dir_ / "disk", "2m");
  if (!disk.mounted()) GTEST_SKIP() << "this machine does not let the test mount a small tmpfs (needs root)";
  test_archive archive;
  // table.bin takes half a megabyte of the two: "huge" can never fit, the others do.
  archive.entries = {entry("small1", "one"), entry("big", incompressible(1000000, 1)),
                     entry("huge", incompressible(1800000, 2)), entry("small2", std::string(1000, 's'))};
  archive.write_to((dir_ / "file.dat").string());
  for (const char* jobs : {"1", "4"}) {
    SCOPED_TRACE(std::string("-j ") + jobs);
    fs::remove_all(dir_ / "disk/out");
    const tool_result result = run_tool(dir_.path(), {"-j", jobs, "-d", "disk/out", "file.dat"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "DarvEx: entry 3 (huge): cannot write: No space left on device\n");
    EXPECT_EQ(file("disk/out/small1"), "one");
    EXPECT_TRUE(file("disk/out/big") == incompressible(1000000, 1));
    EXPECT_FALSE(fs::exists(dir_ / "disk/out/huge"));
    EXPECT_EQ(file("disk/out/small2"), std::string(1000, 's'));
    EXPECT_EQ(list_tree(dir_ / "disk/out").size(), 4u) << "no temporary left";
  }
}

TEST_F(WholeFiles, AFileSizeLimitFailsWhatIsPastItAndTheRunGoesOn) {
  test_archive archive;
  archive.entries = {entry("small1", "one"), entry("big", incompressible(300000, 1)), entry("small2", "two")};
  archive.write_to((dir_ / "file.dat").string());
  // 200 blocks of 1,024 bytes: table.bin's 524,288 bytes are past the limit, and so is big.
  const tool_result table = shell("ulimit -f 200 && exec \"$DARVEX\" -j 2 file.dat");
  EXPECT_EQ(table.status, 2);
  EXPECT_EQ(table.err, "DarvEx: \"table.bin\": cannot write: File too large\n");
  EXPECT_FALSE(fs::exists(dir_ / "file/table.bin"));
  fs::create_directories(dir_ / "file");
  write_file(dir_ / "file/table.bin", "an earlier dump, kept");
  for (const char* jobs : {"1", "2"}) {
    const tool_result entries = shell(std::string("ulimit -f 200 && exec \"$DARVEX\" -n -j ") + jobs + " file.dat");
    EXPECT_EQ(entries.status, 1);
    EXPECT_EQ(entries.err, "DarvEx: entry 2 (big): cannot write: File too large\n");
    EXPECT_EQ(file("file/small2"), "two") << "the entries after it are written";
    EXPECT_EQ(list_tree(dir_ / "file"), (std::vector<std::string>{"small1", "small2", "table.bin"}));
    fs::remove(dir_ / "file/small1");
    fs::remove(dir_ / "file/small2");
  }
}

TEST_F(WholeFiles, ClosedStandardDescriptorsNeverReceiveTheToolsOwnFiles) {
  test_archive archive;
  archive.entries = {entry("table.bin", incompressible(300000, 7))};
  for (int i = 0; i < 6; ++i) archive.entries.push_back(entry(numbered("e", i), incompressible(300000, i)));
  archive.write_to((dir_ / "file.dat").string());
  for (int round = 0; round < 5; ++round) {
    fs::remove_all(dir_ / "file");
    const tool_result result = shell("exec \"$DARVEX\" -q -j 4 file.dat <&- >&- 2>&-");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(file("file/table.bin") == incompressible(300000, 7)) << "round " << round;
    for (int i = 0; i < 6; ++i) {
      EXPECT_TRUE(file(numbered("file/e", i)) == incompressible(300000, i)) << "round " << round;
    }
  }
}

TEST_F(WholeFiles, StarvedWorkersGiveWhatOneWorkerGives) {
  if (SANITIZED) GTEST_SKIP() << "an address-space limit stops a sanitized tool from starting";
  test_archive archive;
  for (int i = 0; i < 70; ++i) {
    const std::size_t size = 1000000 + static_cast<std::size_t>(i % 7) * 500000;
    archive.entries.push_back(entry(numbered(numbered("d", i % 5) + "/e", i), incompressible(size, i)));
  }
  // Tiny entries in many folders, so that folders held open use up the descriptors. How entries
  // wait for each other is the engine's unit tests' concern: this is about real limits.
  for (int i = 0; i < 600; ++i) archive.entries.push_back(entry(numbered(numbered("n/f", i % 150) + "/", i), "x"));
  archive.write_to((dir_ / "file.dat").string());
  const struct { const char* limit; } cases[] = {{"ulimit -v 100000"}, {"ulimit -n 8"}};
  for (const auto& c : cases) {
    std::map<std::string, std::vector<std::string>> trees;
    std::map<std::string, int> statuses;
    for (const char* jobs : {"1", "16"}) {
      SCOPED_TRACE(std::string(c.limit) + ", -j " + jobs);
      fs::remove_all(dir_ / "file");
      const tool_result result = shell(std::string(c.limit) + " && exec \"$DARVEX\" -q -j " + jobs + " file.dat");
      statuses[jobs] = result.status;
      EXPECT_EQ(result.status, 0) << result.err.substr(0, 2000);
      trees[jobs] = list_tree(dir_ / "file");
    }
    EXPECT_EQ(statuses["16"], statuses["1"]) << c.limit;
    EXPECT_EQ(trees["16"], trees["1"]) << c.limit;
    EXPECT_TRUE(file("file/d4/e69") == incompressible(1000000 + 6 * 500000, 69));
  }
}

// -c under an address-space limit: one worker fits; sixteen may not, and then the run stops
// naming the new archive (a worker's own failure concerns no file of the folder) and leaves none.
TEST_F(WholeFiles, CreatingShortOfMemoryNamesTheNewArchive) {
  if (SANITIZED) GTEST_SKIP() << "an address-space limit stops a sanitized tool from starting";
  fs::create_directories(dir_ / "in");
  for (int i = 0; i < 24; ++i) {
    write_file(dir_ / "in" / numbered("e", i), incompressible(1000000 + static_cast<std::size_t>(i % 7) * 500000, i));
  }
  const tool_result one = shell("ulimit -v 100000 && exec \"$DARVEX\" -q -j 1 -c one.dat in");
  EXPECT_EQ(one.status, 0) << one.err;
  const tool_result many = shell("ulimit -v 100000 && exec \"$DARVEX\" -q -j 16 -c many.dat in");
  if (many.status == 0) {
    EXPECT_TRUE(file("many.dat") == file("one.dat"));
  } else {
    EXPECT_EQ(many.status, 2);
    EXPECT_EQ(many.err, "DarvEx: \"many.dat\": out of memory\n");
    EXPECT_FALSE(fs::exists(dir_ / "many.dat"));
  }
}

TEST_F(WholeFiles, WhatIsNotARegularFileIsRefusedAsAnArchiveWithoutBlocking) {
  ASSERT_EQ(mkfifo((dir_ / "fifo.dat").c_str(), 0600), 0);
  const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = (dir_ / "socket.dat").string();
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  socket_path.copy(address.sun_path, socket_path.size());
  ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const struct {
    const char* label;
    std::string command;
    std::string subject;
  } cases[] = {
      {"a FIFO", "exec \"$DARVEX\" fifo.dat", "\"fifo.dat\""},
      {"a socket", "exec \"$DARVEX\" -l socket.dat", "\"socket.dat\""},
      {"a character device", "exec \"$DARVEX\" -t /dev/zero", "\"/dev/zero\""},
      {"a pipe", "echo not an archive | \"$DARVEX\" -d out /dev/stdin", "\"/dev/stdin\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const tool_result result = shell(c.command);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "DarvEx: " + c.subject + ": not a regular file\n");
  }
  close(listening);
  EXPECT_FALSE(fs::exists(dir_ / "fifo")) << "nothing made for an archive that is none";
}

TEST_F(WholeFiles, NoEntryReplacesTheArchiveBeingRead) {
  test_archive archive;
  archive.entries = {entry("a.txt", "a"), entry("self.dat", "would replace the archive"), entry("b.txt", "b")};
  archive.write_to((dir_ / "self.dat").string());
  const std::string before = file("self.dat");
  fs::create_hard_link(dir_ / "self.dat", dir_ / "other-name.dat");
  for (const char* jobs : {"1", "3"}) {
    const tool_result result = run_tool(dir_.path(), {"-j", jobs, "-d", ".", "self.dat"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, progress(".", {"a.txt", "self.dat", "b.txt"}));
    EXPECT_EQ(result.err, "DarvEx: entry 2 (self.dat): would replace the archive being read\n");
    EXPECT_EQ(file("self.dat"), before);
    EXPECT_EQ(file("b.txt"), "b");
  }
  // Given by a link of another name, the archive is still the file it leads to.
  fs::create_symlink("self.dat", dir_ / "via-link.dat");
  const tool_result linked_path = run_tool(dir_.path(), {"-d", ".", "via-link.dat"});
  EXPECT_EQ(linked_path.err, "DarvEx: entry 2 (self.dat): would replace the archive being read\n");
  EXPECT_EQ(file("self.dat"), before);
  // A hard link is the same file by another name.
  test_archive linked;
  linked.entries = {entry("other-name.dat", "x")};
  linked.write_to((dir_ / "linked.dat").string());
  fs::create_directories(dir_ / "linked");
  fs::create_hard_link(dir_ / "linked.dat", dir_ / "linked/other-name.dat");
  const tool_result result = run_tool(dir_.path(), {"linked.dat"});
  EXPECT_EQ(result.err, "DarvEx: entry 1 (other-name.dat): would replace the archive being read\n");
}

TEST_F(WholeFiles, NoOverwriteDecidesBeforeReadingAndCountsOnlyWhatExistedBeforeTheRun) {
  if (SANITIZED) GTEST_SKIP() << "a sanitized tool refuses a preloaded library";
  if (runs_under_a_launcher()) GTEST_SKIP() << "a preloaded library would count the launcher's reads (qemu-user)";
  test_archive archive;
  for (int i = 0; i < 300; ++i) archive.entries.push_back(entry(numbered("e", i), text_like(20000, i)));
  archive.entries.push_back(test_entry{"damaged", "not a stream", 10, {}});
  archive.write_to((dir_ / "file.dat").string());
  const counted_run_result first = counted_run(dir_.path(), {"-n", "file.dat"});
  EXPECT_LE(first.run.status, 1) << first.run.err;
  EXPECT_GE(first.reads, 302u) << "the header, the index and every entry";
  for (const char* jobs : {"1", "4"}) {
    const counted_run_result again = counted_run(dir_.path(), {"-n", "-j", jobs, "file.dat"});
    EXPECT_LE(again.run.status, 1) << again.run.err;
    EXPECT_EQ(again.reads, 2u) << "the header and the index, nothing else";
    EXPECT_LT(again.bytes, 20000u);
  }
}

TEST_F(WholeFiles, NoOverwriteExtractsAnEntryNamedTableBinWhenNoTableBinWasThere) {
  test_archive archive;
  archive.entries = {entry("table.bin", "the entry"), entry("x", "x")};
  archive.write_to((dir_ / "file.dat").string());
  const tool_result fresh = run_tool(dir_.path(), {"-n", "file.dat"});
  EXPECT_EQ(fresh.out, progress("file", {"table.bin", "x"}));
  EXPECT_EQ(fresh.err, "DarvEx: entry 1 (table.bin): replaces the index dump table.bin (the entry is kept)\n");
  EXPECT_EQ(file("file/table.bin"), "the entry");
  const tool_result again = run_tool(dir_.path(), {"-n", "file.dat"});
  EXPECT_EQ(again.out,
            "\nfile\\table.bin  (exists, not replaced)\nfile\\x  (exists, not replaced)\nExtracion Complete");
  EXPECT_EQ(again.err, "");
  EXPECT_EQ(file("file/table.bin"), "the entry");
}

TEST_F(WholeFiles, NamesThatWindowsWouldTakeForTheIndexDumpAreFilesOfTheirOwnHere) {
  test_archive archive;
  archive.entries = {entry("TABLE.BIN", "upper"), entry("table.bin.", "dot"), entry("table.bin ", "space")};
  archive.write_to((dir_ / "file.dat").string());
  const tool_result result = run_tool(dir_.path(), {"file.dat"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "") << "no note: the dump stays";
  EXPECT_EQ(fs::file_size(dir_ / "file/table.bin"), 524288u);
  EXPECT_EQ(file("file/TABLE.BIN"), "upper");
  EXPECT_EQ(file("file/table.bin."), "dot");
  EXPECT_EQ(file("file/table.bin "), "space");
}

}  // namespace
}  // namespace darvex::test_support
