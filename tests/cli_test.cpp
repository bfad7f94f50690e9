// Black-box tests of the built tool: exact stdout, exit status, the stderr line, and exactly
// which files exist afterwards.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "expected_output.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

constexpr std::size_t INDEX_BUFFER_SIZE = 524288;
constexpr std::size_t ENTRY_BUFFER_SIZE = 13107200;
const char USAGE[] = "\nDarvane Extractor v" DARVEX_VERSION " by the DarvEx developers\n\n DarvEx file.dat";

class Cli : public ::testing::Test {
 protected:
  tool_result run(const std::vector<std::string>& args) { return run_tool(dir_.path(), args); }
  tool_result extract(const test_archive& archive, const std::string& path = "file.dat") {
    archive.write_to((dir_ / path).string());
    return run({path});
  }
  std::string file(const std::string& relative) const { return read_file(dir_ / relative); }
  bool exists(const std::string& relative) const { return fs::exists(dir_ / relative); }
  std::vector<std::string> tree() const { return list_tree(dir_.path()); }

  scratch_dir dir_;
};

// Asserts a status-2 stop: one "DarvEx: " line naming `reason`, no closing message.
void expect_stopped(const tool_result& result, const std::string& reason) {
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err.rfind("DarvEx: ", 0), 0u) << result.err;
  EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
  EXPECT_EQ(result.out.find("Extracion Complete"), std::string::npos);
}

TEST_F(Cli, WithoutAnArgumentPrintsTheUsageTextAndTouchesNothing) {
  const tool_result result = run({});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, USAGE);
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(tree().empty());
}

TEST_F(Cli, ExtractsEveryEntryByteForByte) {
  test_archive archive;
  archive.entries = {
      entry("empty.cfg", ""),
      entry("a.txt", "a few bytes"),
      entry("level.xml", text_like(3 << 20, 1)),
      entry("mesh.bin", binary_like(5 << 20, 2)),
      entry("music.ogg", incompressible(2 << 20, 3)),
      entry("limit.bin", binary_like(ENTRY_BUFFER_SIZE, 4)),
  };
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, progress("file", {"empty.cfg", "a.txt", "level.xml", "mesh.bin", "music.ogg", "limit.bin"}));
  EXPECT_EQ(tree(), (std::vector<std::string>{"file", "file.dat", "file/a.txt", "file/empty.cfg", "file/level.xml",
                                              "file/limit.bin", "file/mesh.bin", "file/music.ogg", "file/table.bin"}));
  EXPECT_TRUE(file("file/empty.cfg").empty());
  EXPECT_EQ(file("file/a.txt"), "a few bytes");
  EXPECT_TRUE(file("file/level.xml") == text_like(3 << 20, 1));
  EXPECT_TRUE(file("file/mesh.bin") == binary_like(5 << 20, 2));
  EXPECT_TRUE(file("file/music.ogg") == incompressible(2 << 20, 3));
  EXPECT_TRUE(file("file/limit.bin") == binary_like(ENTRY_BUFFER_SIZE, 4));
  std::string table = archive.inflated_index();
  table.resize(INDEX_BUFFER_SIZE, '\0');
  EXPECT_TRUE(file("file/table.bin") == table);
}

TEST_F(Cli, OutputDirectoryIsTheArgumentLessItsLastFourBytes) {
  fs::create_directories(dir_ / "games/data");
  const struct {
    std::string argument;
    std::string output_dir;
  } cases[] = {
      {"file.dat", "file"},
      {"pack0001", "pack"},
      {"games/data/level.pak", "games/data/level"},
      {"two.dat.bak", "two.dat"},
  };
  test_archive archive;
  archive.entries = {entry("x.txt", "x")};
  for (const auto& c : cases) {
    const tool_result result = extract(archive, c.argument);
    EXPECT_EQ(result.status, 0) << c.argument << ": " << result.err;
    EXPECT_EQ(result.out, progress(c.output_dir, {"x.txt"})) << c.argument;
    EXPECT_EQ(file(c.output_dir + "/x.txt"), "x") << c.argument;
  }
}

TEST_F(Cli, ASecondRunReusesTheDirectoryAndReplacesItsFiles) {
  fs::create_directory(dir_ / "file");
  write_file(dir_ / "file/table.bin", std::string(INDEX_BUFFER_SIZE * 2, 'T'));
  write_file(dir_ / "file/x.txt", std::string(1000, 'o'));
  write_file(dir_ / "file/keep.me", "untouched");
  test_archive archive;
  archive.entries = {entry("x.txt", "new")};
  for (int run = 0; run < 2; ++run) {
    const tool_result result = extract(archive);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(file("file/x.txt"), "new");
    EXPECT_EQ(fs::file_size(dir_ / "file/table.bin"), INDEX_BUFFER_SIZE);
    EXPECT_EQ(file("file/keep.me"), "untouched");
  }
}

TEST_F(Cli, AFolderGivenAsAnArchiveIsRefusedWithTheCommandThatPacksIt) {
  test_archive archive;
  archive.entries = {entry("x.txt", "x")};
  ASSERT_EQ(extract(archive).status, 0);
  fs::create_directory(dir_ / "my folder");
  const struct {
    const char* folder;
    const char* command;
  } cases[] = {
      {"file", "DarvEx -c file.dat --like file.dat file"},  // file.dat lies beside it
      {"my folder", "DarvEx -c \"my folder.dat\" \"my folder\""},
  };
  for (const auto& c : cases) {
    expect_stopped(run({c.folder}), std::string("\"") + c.folder +
                                        "\": cannot open: Is a directory (to pack the folder: " + c.command + ")");
  }
  EXPECT_FALSE(fs::exists(dir_ / "file.dat.bak"));
}

TEST_F(Cli, ArchiveThatCannotBeOpenedCreatesNothing) {
  fs::create_directory(dir_ / "folder.dat");
  for (const std::string argument : {"missing.dat", "folder.dat"}) {
    const tool_result result = run({argument});
    expect_stopped(result, "\"" + argument + "\": cannot");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(tree(), std::vector<std::string>{"folder.dat"}) << argument;
  }
}

TEST_F(Cli, ArgumentThatLeavesNoDirectoryNameStops) {
  for (const std::string argument : {"a.da", "abcd", "x", "..abcd"}) {
    write_file(dir_ / argument, "DARVTEST");
    const tool_result result = run({argument});
    expect_stopped(result, "no output directory");
    fs::remove(dir_ / argument);
    EXPECT_TRUE(tree().empty()) << argument;
  }
}

TEST_F(Cli, OutputDirectoryThatCannotBeEnteredWritesNothingElsewhere) {
  test_archive archive;
  archive.entries = {entry("x.txt", "x")};
  archive.write_to((dir_ / "file.dat").string());
  write_file(dir_ / "file", "a regular file");
  const tool_result result = run({"file.dat"});
  expect_stopped(result, "\"file.dat\": the output directory \"file\" would be the file \"file\"; use -d DIR");
  EXPECT_EQ(tree(), (std::vector<std::string>{"file", "file.dat"}));
  EXPECT_EQ(file("file"), "a regular file");
  // A directory given is the user's own path: the system's words say what is wrong with it.
  expect_stopped(run({"-d", "file", "file.dat"}), "\"file\": cannot enter directory");
  EXPECT_EQ(tree(), (std::vector<std::string>{"file", "file.dat"}));

  fs::remove(dir_ / "file");
  const tool_result nested = run({"no/such/dir/file.dat"});
  expect_stopped(nested, "cannot open");
}

TEST_F(Cli, ArchivesWhoseIndexCannotBeLoadedStopBeforeAnyEntry) {
  test_archive good;
  good.entries = {entry("x.txt", "x")};
  test_archive past_end = good;
  past_end.index_offset = 0x7FFFFFFF;
  test_archive too_long = good;
  too_long.after_index = std::string(INDEX_BUFFER_SIZE, 'z');
  test_archive cut = good;
  cut.index_stream = zlib_compress(good.inflated_index()).substr(0, 10);
  test_archive damaged = good;
  damaged.index_stream = zlib_compress(good.inflated_index());
  damaged.index_stream->back() ^= 0x55;  // its checksum
  test_archive too_many = good;
  too_many.entry_count = 3501;
  const struct {
    const char* label;
    std::string bytes;
    const char* reason;
    bool table_written;
  } cases[] = {
      {"empty", "", "not an archive of this kind: the file is empty", false},
      {"shorter than the header", "DARV", "at 4 bytes it is too short to hold the 12-byte header", false},
      {"offset past the end", past_end.bytes(), "the archive is cut short: its index should start at 2147483647",
       false},
      {"index too long", too_long.bytes(), "exceeds the 524288-byte index buffer", false},
      {"index cut short", cut.bytes(), "the archive is cut short: the file ends inside its index", false},
      {"damaged index", damaged.bytes(), "index does not inflate: damaged", false},
      {"3501 entries", too_many.bytes(), "3501 entries, more than the 3500", false},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir_ / "file");
    write_file(dir_ / "file.dat", c.bytes);
    const tool_result result = run({"file.dat"});
    SCOPED_TRACE(c.label);
    expect_stopped(result, c.reason);
    EXPECT_EQ(result.out, "");
    // No run that stops leaves a folder holding table.bin alone.
    const std::vector<std::string> expected = c.table_written
                                                  ? std::vector<std::string>{"file", "file.dat", "file/table.bin"}
                                                  : std::vector<std::string>{"file.dat"};
    EXPECT_EQ(tree(), expected);
  }
}

TEST_F(Cli, TableThatCannotBeCreatedStops) {
  fs::create_directories(dir_ / "file/table.bin");
  test_archive archive;
  archive.entries = {entry("x.txt", "x")};
  const tool_result result = extract(archive);
  expect_stopped(result, "\"table.bin\": cannot create");
  EXPECT_FALSE(exists("file/x.txt"));
}

// Sets or clears the immutable attribute, which refuses writes even to root.
bool set_immutable(const fs::path& path, bool immutable) {
  const int fd = open(path.c_str(), O_RDONLY);
  int flags = 0;
  bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) close(fd);
  return done;
}

TEST_F(Cli, ReadOnlyArchiveExtracts) {
  test_archive archive;
  archive.entries = {entry("x.txt", "x")};
  const fs::path path = dir_ / "file.dat";
  archive.write_to(path.string());
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
  const bool immutable = set_immutable(path, true);
  if (!immutable && geteuid() == 0) GTEST_SKIP() << "no way here to make a file read-only for root";
  const tool_result result = run({"file.dat"});
  if (immutable) set_immutable(path, false);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(file("file/x.txt"), "x");
}

TEST_F(Cli, ArchiveWithDataAboveTwoGibibytesExtracts) {
  // Past 2 GiB a signed 32-bit offset turns negative; just below 4 GiB offsets plus lengths pass
  // what 32 bits hold. The holes are sparse: they cost no disk.
  for (const std::uint32_t data_start : {0xA0000000u, 0xFFF00000u}) {
    SCOPED_TRACE(data_start);
    fs::remove_all(dir_ / "file");
    test_archive archive;
    archive.data_start = data_start;
    archive.entries = {entry("high.bin", binary_like(100000, 5)), entry("last.txt", "last")};
    const tool_result result = extract(archive);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, progress("file", {"high.bin", "last.txt"}));
    EXPECT_TRUE(file("file/high.bin") == binary_like(100000, 5));
    EXPECT_EQ(file("file/last.txt"), "last");
  }
}

TEST_F(Cli, AnArchivePastFourGibibytesIsMeasuredWhole) {
  // Bytes past 4 GiB after the index: its stream would run to the end of the file, over 4 GiB,
  // which a 32-bit length would take for a few bytes.
  test_archive archive;
  archive.entries = {entry("a.txt", "a")};
  write_file(dir_ / "file.dat", archive.bytes());
  const std::uint64_t size = (std::uint64_t{1} << 32) + 100;
  fs::resize_file(dir_ / "file.dat", size);  // sparse
  const std::uint64_t index_offset = archive.stream_offsets().back();
  for (const char* option : {"-l", "-t"}) {
    expect_stopped(run({option, "file.dat"}), "compressed index of " + std::to_string(size - index_offset) +
                                                  " bytes exceeds the 524288-byte index buffer");
  }
}

TEST_F(Cli, EmptyIndexExtractsNothingAndSucceeds) {
  const tool_result result = extract(test_archive{});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "\nExtracion Complete");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(tree(), (std::vector<std::string>{"file", "file.dat", "file/table.bin"}));
}

TEST_F(Cli, StreamsAreTakenAsTheirSpansAndSizesAllow) {
  const std::string data = text_like(50000, 9);
  test_entry short_size = entry("short.txt", data);
  short_size.size = 80000;  // inflates completely to fewer bytes: no error
  test_entry trailing = entry("trailing.txt", data);
  trailing.stream += "bytes after the stream";
  test_entry zero = entry("zero.txt", "");
  test_archive archive;
  archive.entries = {short_size, trailing, zero};
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(file("file/short.txt") == data);
  EXPECT_TRUE(file("file/trailing.txt") == data);
  EXPECT_EQ(file("file/zero.txt"), "");
}

TEST_F(Cli, LaterEntryOfTheSameNameReplacesTheEarlierFile) {
  test_archive archive;
  archive.entries = {entry("same.txt", "first, and longer"), entry("same.txt", "second")};
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, progress("file", {"same.txt", "same.txt"}));
  EXPECT_EQ(file("file/same.txt"), "second");
}

TEST_F(Cli, NameHoldingAZeroByteIsUsedUpToIt) {
  test_archive archive;
  archive.entries = {entry(std::string("cut.txt\0hidden", 14), "data")};
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, progress("file", {"cut.txt"}));
  EXPECT_EQ(file("file/cut.txt"), "data");
}

TEST_F(Cli, EntriesThatDoNotFitAreRefusedAndTheOthersStillExtract) {
  const std::string before = binary_like(70000, 11);
  const std::string after = text_like(60000, 12);
  test_entry past_index = entry("past.bin", "p");
  past_index.offset = 0x40000000;
  test_entry out_of_order = entry("order.bin", "o");
  out_of_order.offset = 5;  // lies before the entry ahead of it: that one's span is negative
  test_entry huge_size = entry("huge.bin", "h");
  huge_size.size = ENTRY_BUFFER_SIZE + 1;
  test_entry huge_span = entry("span.bin", "s");
  huge_span.stream += std::string(ENTRY_BUFFER_SIZE, '\0');

  const struct {
    test_entry bad;
    int bad_position;  // counted from 1, as messages show it
    const char* reason;
  } cases[] = {
      {past_index, 2, "offset 1073741824 lies past the index"},
      {huge_size, 2, "size of 13107201 bytes exceeds the 13107200-byte entry buffer"},
      {huge_span, 2, "span of 13107209 bytes exceeds"},
      {out_of_order, 1, "before its offset"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    fs::remove_all(dir_ / "file");
    fs::create_directory(dir_ / "file");
    write_file(dir_ / ("file/" + c.bad.name), "older file, left alone");
    test_archive archive;
    archive.entries = {entry("before.bin", before), c.bad, entry("after.txt", after)};
    const tool_result result = extract(archive);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, progress("file", {"before.bin", c.bad.name, "after.txt"}));
    const std::string subject = c.bad_position == 1 ? "entry 1 (before.bin)" : "entry 2 (" + c.bad.name + ")";
    EXPECT_EQ(result.err.rfind("DarvEx: " + subject + ": ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    if (c.bad_position == 2) {
      EXPECT_TRUE(file("file/before.bin") == before);
      EXPECT_EQ(file("file/" + c.bad.name), "older file, left alone");
    }
    EXPECT_TRUE(file("file/after.txt") == after);
  }
}

TEST_F(Cli, HostileNamesWriteNothingOutsideTheOutputDirectory) {
  fs::create_directories(dir_ / "work/file");
  write_file(dir_ / "sentinel", "sentinel");
  const char* const hostile[] = {
      "../sentinel",
      "..\\sentinel",
      "a/../../sentinel",
      "a\\..\\..\\sentinel",
      "/tmp/darvex-escape",
      "\\darvex-escape",
      "C:escape",
      "c:\\escape",
      "..",
      ".",
      "",
      "x/..",
      "../file.dat",
  };
  test_archive archive;
  archive.entries.push_back(entry("ok-first.txt", "1"));
  for (const char* name : hostile) archive.entries.push_back(entry(name, "escaped!"));
  archive.entries.push_back(entry("ok-last.txt", "2"));
  archive.write_to((dir_ / "work/file.dat").string());
  const std::vector<std::string> before = tree();

  const tool_result result = run({"work/file.dat"});
  EXPECT_EQ(result.status, 1);
  int refusals = 0;
  for (std::size_t at = result.err.find("unsafe name"); at != std::string::npos;
       at = result.err.find("unsafe name", at + 1)) {
    ++refusals;
  }
  EXPECT_EQ(refusals, static_cast<int>(std::size(hostile))) << result.err;
  std::vector<std::string> expected = before;
  expected.insert(expected.end(), {"work/file/ok-first.txt", "work/file/ok-last.txt", "work/file/table.bin"});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(tree(), expected);
  EXPECT_EQ(file("sentinel"), "sentinel");
  EXPECT_FALSE(fs::exists("/tmp/darvex-escape"));
  EXPECT_EQ(file("work/file/ok-last.txt"), "2");
}

TEST_F(Cli, NamesInsideAMissingDirectoryGetTheirFoldersAndExistingOnesAreEntered) {
  fs::create_directories(dir_ / "file/sub");
  test_archive archive;
  archive.entries = {entry("missing/x.txt", "x"), entry("sub/y.txt", "y")};
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(file("file/missing/x.txt"), "x");
  EXPECT_EQ(file("file/sub/y.txt"), "y");
}

TEST_F(Cli, DamagedStreamsKeepOnlyTheirOwnBytes) {
  const std::string large = std::string(1 << 20, 'L');
  const std::string small = text_like(200000, 13);
  const std::string stream = zlib_compress(small);
  test_entry truncated{"truncated.txt", stream.substr(0, stream.size() / 2), 200000, {}};
  test_entry corrupt{"corrupt.txt", stream, 200000, {}};
  corrupt.stream[stream.size() - 2] ^= 0x40;  // the checksum fails after all data is out
  test_entry longer = entry("longer.txt", small);
  longer.size = 1000;  // the stream holds more than the index says: cut there
  test_entry garbage{"garbage.bin", "not a zlib stream at all", 500, {}};

  test_archive archive;
  archive.entries = {entry("large.bin", large), truncated, corrupt, longer, garbage};
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, progress("file", {"large.bin", "truncated.txt", "corrupt.txt", "longer.txt", "garbage.bin"}));
  for (const char* subject :
       {"entry 2 (truncated.txt)", "entry 3 (corrupt.txt)", "entry 4 (longer.txt)", "entry 5 (garbage.bin)"}) {
    EXPECT_NE(result.err.find(std::string("DarvEx: ") + subject + ": "), std::string::npos) << subject << "\n"
                                                                                            << result.err;
  }
  EXPECT_TRUE(file("file/large.bin") == large);
  const std::string cut = file("file/truncated.txt");
  EXPECT_LT(cut.size(), small.size());
  EXPECT_TRUE(small.compare(0, cut.size(), cut) == 0) << "a damaged file holds a prefix of its own data";
  EXPECT_TRUE(file("file/corrupt.txt") == small);
  EXPECT_TRUE(file("file/longer.txt") == small.substr(0, 1000));
  EXPECT_EQ(file("file/garbage.bin"), "");
}

TEST_F(Cli, FullTableOfEntriesExtracts) {
  test_archive archive;
  std::vector<std::string> names;
  for (int i = 0; i < 3500; ++i) {
    names.push_back(std::string("e").append(std::to_string(i)).append(".txt"));
    archive.entries.push_back(entry(names.back(), std::to_string(i * 7)));
  }
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(result.out == progress("file", names));
  EXPECT_EQ(file("file/e0.txt"), "0");
  EXPECT_EQ(file("file/e3499.txt"), std::to_string(3499 * 7));
  EXPECT_EQ(list_tree(dir_ / "file").size(), 3501u);
}

}  // namespace
}  // namespace darvex::test_support
