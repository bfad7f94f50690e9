// Black-box tests of -p: the selected entries' inflated bytes on standard output, in index
// order whatever the jobs, byte for byte (no newline translation on Windows), nothing else
// there, and nothing written to disk; failures on standard error.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

using args = std::vector<std::string>;

// Bytes a text-mode stream would change: line ends, a lone "\r", Ctrl-Z, a zero byte.
const std::string RAW = std::string(
    "line\nCRLF\r\nCR\r\x1A\x00"
    "end",
    19);

class CliStdout : public ::testing::Test {
 protected:
  CliStdout() {
    // The first entry is slow to inflate, so that with several jobs the others are ready first.
    archive_.entries = {entry("big.txt", text_like(8 << 20, 1)), entry("raw.bin", RAW),
                        entry("levels/one.xml", text_like(5000, 2)), entry("empty.cfg", ""),
                        entry("noise.ogg", incompressible(70000, 3))};
    archive_.write_to((dir_ / "file.dat").string());
  }
  tool_result run(const args& arguments, const run_options& routing = {}) {
    return run_tool(dir_.path(), arguments, routing);
  }
  // A run whose stdout is a file, read back as it is: the runner reads "\r\n" as "\n" in what
  // it captures under a launcher (Wine), which would hide a text-mode stdout.
  tool_result run_into_file(const args& arguments) {
    const std::string path = (capture_ / "stdout").string();
    tool_result result = run(arguments, run_options::stdout_to(path));
    result.out = read_file(path);
    return result;
  }
  std::string data(std::size_t entry) const { return entry_data_[entry]; }

  scratch_dir dir_;
  scratch_dir capture_;
  test_archive archive_;
  const std::vector<std::string> entry_data_ = {text_like(8 << 20, 1), RAW, text_like(5000, 2), "",
                                                incompressible(70000, 3)};
};

TEST_F(CliStdout, WritesTheSelectedEntriesInIndexOrderAndNothingToDisk) {
  const std::string all = data(0) + data(1) + data(2) + data(3) + data(4);
  const struct {
    args given;
    std::string out;
  } cases[] = {
      {{"-p", "-i", "raw.bin", "file.dat"}, data(1)},
      {{"--to-stdout", "-x", "big.txt", "file.dat"}, data(1) + data(2) + data(4)},
      {{"-p", "-j", "1", "file.dat"}, all},
      {{"-p", "-j", "4", "file.dat"}, all},
      {{"-pq", "-i", "*.xml", "-i", "*.ogg", "file.dat"}, data(2) + data(4)},
      {{"-p", "-i", "raw.bin", "file.dat", "file.dat"}, data(1) + data(1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.given));
    const tool_result result = run_into_file(c.given);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.out == c.out) << "got " << result.out.size() << " bytes, expected " << c.out.size();
    EXPECT_EQ(list_tree(dir_.path()), args{"file.dat"}) << "no folder, no table.bin";
  }
}

TEST_F(CliStdout, ADamagedEntryGivesWhatItInflatedToAndItsReasonOnStderr) {
  test_archive damaged;
  test_entry corrupt = entry("corrupt.txt", text_like(3000, 4));
  corrupt.stream.back() ^= 0x40;  // the checksum fails after all the data is out
  damaged.entries = {entry("a.txt", "alpha\n"),
                     corrupt,
                     {"garbage.bin", "not a zlib stream", 100, {}},
                     entry("../up.txt", "refused"),
                     entry("z.txt", "last\n")};
  damaged.write_to((dir_ / "damaged.dat").string());
  for (const char* jobs : {"1", "3"}) {
    const tool_result result = run_into_file({"-p", "-j", jobs, "damaged.dat"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out == "alpha\n" + text_like(3000, 4) + "last\n") << result.out.size();
    EXPECT_EQ(result.err,
              "DarvEx: entry 2 (corrupt.txt): damaged or truncated zlib stream; 3000 bytes kept\n"
              "DarvEx: entry 3 (garbage.bin): damaged or truncated zlib stream; 0 bytes kept\n"
              "DarvEx: entry 4 (../up.txt): unsafe name: a \"..\" component leaves the output directory\n");
  }
  const tool_result unmatched = run({"-p", "-i", "*.png", "file.dat"});
  EXPECT_EQ(unmatched.status, 1);
  EXPECT_EQ(unmatched.out, "");
  EXPECT_EQ(unmatched.err, "DarvEx: \"file.dat\": no entry matches \"*.png\"\n");
}

TEST_F(CliStdout, AReaderThatStopsEarlyIsNoFailure) {
  const tool_result result = run({"-p", "file.dat"}, run_options::pipe_closed_after(1000));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(result.out == data(0).substr(0, 1000));
}

TEST_F(CliStdout, AFailingStandardOutputIsReported) {
  if (testing_a_windows_build()) GTEST_SKIP() << "/dev/full is a Linux device";
  const tool_result result = run({"-p", "file.dat"}, run_options::stdout_to("/dev/full"));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "DarvEx: standard output: No space left on device\n");
}

TEST_F(CliStdout, CannotBeMixedWithListingOrTesting) {
  for (const args& given : {args{"-lp", "file.dat"}, args{"-p", "-t", "file.dat"}}) {
    const tool_result result = run(given);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("and '-p' cannot be used together"), std::string::npos) << result.err;
  }
}

}  // namespace
}  // namespace darvex::test_support
