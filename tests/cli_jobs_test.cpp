// Differential tests of parallel extraction: on every archive, good or damaged, -j 4 must give
// what -j 1 gives: the same files with the same bytes, the same stdout and stderr, the same
// order of the two when they share one file, and the same exit status.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "random_archives.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

struct run_record {
  tool_result separate;
  tool_result merged;
  std::map<std::string, std::string> files;
};

// Runs the tool with `jobs` on `bytes` in a fresh directory, twice: streams apart and merged.
run_record run_with_jobs(const std::string& bytes, const std::string& jobs) {
  run_record record;
  for (bool merged : {false, true}) {
    const scratch_dir dir;
    fs::create_directories(dir / "file/sub");
    write_file(dir / "file.dat", bytes);
    const tool_result result =
        run_tool(dir.path(), {"-j", jobs, "file.dat"}, merged ? run_options::merging_streams() : run_options());
    (merged ? record.merged : record.separate) = result;
    if (merged) continue;
    for (const auto& item : fs::recursive_directory_iterator(dir / "file")) {
      const std::string name = fs::relative(item.path(), dir / "file").generic_string();
      record.files[name] = item.is_regular_file() ? read_file(item.path()) : "(a folder)";
    }
  }
  return record;
}

void expect_same_runs(const std::string& bytes, const std::string& label) {
  const run_record one = run_with_jobs(bytes, "1");
  const run_record four = run_with_jobs(bytes, "4");
  EXPECT_EQ(four.separate.status, one.separate.status) << label;
  EXPECT_EQ(four.separate.out, one.separate.out) << label;
  EXPECT_EQ(four.separate.err, one.separate.err) << label;
  EXPECT_EQ(four.merged.out, one.merged.out) << label << ": the order of stdout and stderr lines";
  EXPECT_EQ(four.merged.status, one.merged.status) << label;
  EXPECT_TRUE(four.files == one.files) << label << ": the files extracted";
}

TEST(CliJobs, ManyWorkersGiveWhatOneGivesOnRandomArchives) {
  std::mt19937 random(20261209);
  for (int i = 0; i < 40; ++i) {
    const test_archive archive = random_archive(random);
    expect_same_runs(archive.bytes(), "archive " + std::to_string(i));
  }
}

TEST(CliJobs, ManyWorkersGiveWhatOneGivesOnTruncatedAndFlippedArchives) {
  std::mt19937 random(9122026);
  test_archive archive;
  for (int i = 0; i < 30; ++i)
    archive.entries.push_back(entry(NAME_POOL[i % NAME_POOL.size()], random_contents(random)));
  const std::string whole = archive.bytes();
  for (int i = 0; i < 12; ++i) {
    const std::size_t cut = random() % whole.size();
    expect_same_runs(whole.substr(0, cut), "cut at " + std::to_string(cut));
    std::string flipped = whole;
    for (int flips = 0; flips < 3; ++flips) flipped[random() % flipped.size()] ^= static_cast<char>(1 + random() % 255);
    expect_same_runs(flipped, "flipped, round " + std::to_string(i));
  }
}

TEST(CliJobs, LaterEntriesOfOneFileWinWhateverTheJobs) {
  test_archive archive;
  // A large first version and a small later one: with workers racing, the small one would
  // finish first and the large one land over it.
  for (int round = 0; round < 8; ++round) {
    archive.entries.push_back(entry("same.bin", incompressible(2000000, round)));
    archive.entries.push_back(entry(round % 2 == 0 ? "Same.BIN" : "other.txt", "small"));
    archive.entries.push_back(entry("same.bin", std::to_string(round)));
  }
  const run_record four = run_with_jobs(archive.bytes(), "4");
  EXPECT_EQ(four.separate.status, 0) << four.separate.err;
  EXPECT_EQ(four.files.at("same.bin"), "7");
  if (!testing_a_windows_build()) {  // on Windows it is one file with same.bin
    EXPECT_EQ(four.files.at("Same.BIN"), "small");
  }
}

}  // namespace
}  // namespace darvex::test_support
