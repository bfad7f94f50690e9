// Differential tests of names that touch: entries that write one file (a\b and a/b; a, A and a.
// on Windows), or whose paths lie one inside the other (a and a\b, d\f and d\f\z, a\ and a), are
// written in index order at any job count. Archives of such names, their first entries large so
// that with several workers the small ones after them finish first, are extracted at -j 1, -j 2,
// -j 8 and the default job count, each into a fresh folder, then with -n over an output already
// there; every run must give what -j 1 gives: the same files and folders with the same bytes, the
// same stdout and stderr, the same status. Archives of names that do not touch are the control.
// The suite also runs against a Windows build, where the same comparisons hold.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "archive_writer.hpp"
#include "expected_output.hpp"
#include "random_archives.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

// A job count as a user gives it.
struct job_count {
  std::string label;
  std::vector<std::string> options;
};

const std::vector<job_count> JOB_COUNTS = {
    {"-j 1", {"-j", "1"}}, {"-j 2", {"-j", "2"}}, {"-j 8", {"-j", "8"}}, {"the default job count", {}}};
const job_count& ONE_JOB = JOB_COUNTS.front();

// What a run gave: its status and streams, and the tree it left in the output folder.
struct outcome {
  tool_result result;
  std::string tree;  // describe_tree's
};

// A fresh folder holding the archive as file.dat, and maybe a copy of another site's output
// folder file/, where runs extract into file/.
class site {
 public:
  explicit site(const std::string& archive_bytes) { write_file(dir_ / "file.dat", archive_bytes); }
  site(const std::string& archive_bytes, const site& output_of) : site(archive_bytes) {
    fs::copy(output_of.dir_ / "file", dir_ / "file", fs::copy_options::recursive);
  }

  outcome extract(const std::vector<std::string>& options, const job_count& jobs) const {
    std::vector<std::string> args = options;
    args.insert(args.end(), jobs.options.begin(), jobs.options.end());
    args.push_back("file.dat");
    outcome made{run_tool(dir_.path(), args), {}};
    made.tree = fs::exists(dir_ / "file") ? describe_tree(dir_ / "file") : "(no output folder)\n";
    return made;
  }
  std::string file(const std::string& relative) const { return read_file(dir_ / "file" / relative); }
  bool is_file(const std::string& relative) const {
    return fs::is_regular_file(fs::symlink_status(dir_ / "file" / relative));
  }
  std::vector<std::string> tree() const { return list_tree(dir_ / "file"); }

 private:
  scratch_dir dir_;
};

void expect_same(const outcome& got, const outcome& expected, const std::string& what) {
  EXPECT_EQ(got.result.status, expected.result.status) << what;
  EXPECT_EQ(got.result.out, expected.result.out) << what << ": stdout";
  EXPECT_EQ(got.result.err, expected.result.err) << what << ": stderr";
  EXPECT_EQ(got.tree, expected.tree) << what << ": the files and folders made";
}

// Extracts the archive at every job count, each into a fresh folder: each gives what -j 1 gives.
void expect_extraction_as_with_one_job(const std::string& bytes) {
  const outcome one = site(bytes).extract({}, ONE_JOB);
  for (const job_count& jobs : JOB_COUNTS) {
    if (&jobs != &ONE_JOB) expect_same(site(bytes).extract({}, jobs), one, jobs.label + " against -j 1");
  }
}

// -n at every job count over a copy of -j 1's output, and over each job count's own output:
// each gives what -n -j 1 gives over -j 1's output.
void expect_no_overwrite_as_with_one_job(const std::string& bytes) {
  const site first(bytes);
  first.extract({}, ONE_JOB);
  const outcome one = site(bytes, first).extract({"-n"}, ONE_JOB);
  for (const job_count& jobs : JOB_COUNTS) {
    if (&jobs == &ONE_JOB) continue;
    expect_same(site(bytes, first).extract({"-n"}, jobs), one, "-n " + jobs.label + " over -j 1's output");
    const site own(bytes);
    own.extract({}, jobs);
    expect_same(own.extract({"-n"}, jobs), one, "-n " + jobs.label + " over its own output, against -n -j 1");
  }
}

// Each entry's name and recorded size, and its stream's length: what a failure shows of its archive.
std::string entries_of(const test_archive& archive) {
  std::string shown;
  for (std::size_t i = 0; i < archive.entries.size(); ++i) {
    const test_entry& e = archive.entries[i];
    shown += "\n  entry " + std::to_string(i + 1) + " " + e.name + ": " + std::to_string(e.size) + " bytes, stream " +
             std::to_string(e.stream.size());
  }
  return shown;
}

constexpr std::uint32_t SEED = 20260611;

// Runs `check` on `cases` archives that `make` draws, case i from the generator seeded SEED + i,
// up to the first case that fails.
template <typename Check>
void for_random_archives(int cases, test_archive (*make)(std::mt19937&), Check check) {
  for (int i = 0; i < cases; ++i) {
    const std::uint32_t seed = SEED + static_cast<std::uint32_t>(i);
    std::mt19937 random(seed);
    const test_archive archive = make(random);
    SCOPED_TRACE("case " + std::to_string(i) + " of " + std::to_string(cases) +
                 ", the archive made from std::mt19937(" + std::to_string(seed) + "):" + entries_of(archive));
    check(archive.bytes());
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "stopped at case " << i << ", the first archive that differs";
      return;
    }
  }
}

// Cases enough to meet the orderings that go wrong, few enough that each test takes seconds; a
// sanitized tool starts and runs several times slower, and meets half of them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int SHARE = 2;
#else
constexpr int SHARE = 1;
#endif
constexpr int TOUCHING_CASES = 20 / SHARE;
constexpr int NO_OVERWRITE_CASES = 12 / SHARE;
constexpr int SEPARATE_CASES = 6 / SHARE;

TEST(CliTouching, RandomArchivesOfTouchingNamesGiveWhatOneJobGives) {
  for_random_archives(TOUCHING_CASES, touching_names_archive, expect_extraction_as_with_one_job);
}

TEST(CliTouching, NoOverwriteOverAnOutputOfTouchingNamesGivesWhatOneJobGives) {
  for_random_archives(NO_OVERWRITE_CASES, touching_names_archive, expect_no_overwrite_as_with_one_job);
}

TEST(CliTouching, RandomArchivesOfSeparateNamesGiveWhatOneJobGives) {
  for_random_archives(SEPARATE_CASES, separate_names_archive, [](const std::string& bytes) {
    expect_extraction_as_with_one_job(bytes);
    expect_no_overwrite_as_with_one_job(bytes);
  });
}

// An archive whose outcome at -j 1 is spelled out: index order decides.
struct ordered_case {
  std::vector<std::pair<std::string, std::size_t>> entries;  // name and length, in index order
  std::string err;                                           // what -j 1 says: status 1, or 0 when nothing
  std::vector<std::string> tree;                             // what it leaves
  std::vector<std::pair<std::string, std::size_t>> files;    // a file, and the entry (from 1) it holds
};

// Which entry of the case the file `relative` holds, as "entry 4", or what it is when none does.
std::string holder(const site& at, const std::string& relative, const ordered_case& c) {
  if (!at.is_file(relative)) return "no file there";
  const std::string bytes = at.file(relative);
  for (std::size_t i = 0; i < c.entries.size(); ++i) {
    if (bytes == entry_bytes(i + 1, c.entries[i].first, c.entries[i].second)) return "entry " + std::to_string(i + 1);
  }
  return "no entry's bytes (" + std::to_string(bytes.size()) + " bytes starting \"" + bytes.substr(0, 24) + "\")";
}

// The spelled-out outcome at every job count, each in a fresh folder, and -n as with one job.
void expect_index_order(const ordered_case& c) {
  test_archive archive;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < c.entries.size(); ++i) {
    archive.entries.push_back(entry(c.entries[i].first, entry_bytes(i + 1, c.entries[i].first, c.entries[i].second)));
    names.push_back(c.entries[i].first);
  }
  const std::string bytes = archive.bytes();
  for (const job_count& jobs : JOB_COUNTS) {
    SCOPED_TRACE(jobs.label);
    const site at(bytes);
    const outcome made = at.extract({}, jobs);
    EXPECT_EQ(made.result.status, c.err.empty() ? 0 : 1);
    EXPECT_EQ(made.result.out, progress("file", names));
    EXPECT_EQ(made.result.err, c.err);
    EXPECT_EQ(at.tree(), c.tree);
    for (const auto& [path, position] : c.files)
      EXPECT_EQ(holder(at, path, c), "entry " + std::to_string(position)) << path;
  }
  expect_no_overwrite_as_with_one_job(bytes);
}

constexpr std::size_t LARGE = 12000000;

TEST(CliTouching, ALaterEntryOfAFileReplacesALargeEarlierOneWhateverTouchesBoth) {
  // Entry 4 writes entry 1's file. Between them, a\c\x touches neither a\b, and a touches
  // both: entry 4 still comes after entry 1, so a/b holds entry 4's bytes, and entry 3 fails
  // because a is a folder by then.
  expect_index_order({{{"a\\b", LARGE}, {"a\\c\\x", 100}, {"a", 100}, {"a\\b", 100}},
                      "DarvEx: entry 3 (a): cannot create: Is a directory\n",
                      {"a", "a/b", "a/c", "a/c/x", "table.bin"},
                      {{"a/b", 4}, {"a/c/x", 2}}});
}

TEST(CliTouching, AFileMadeFirstFailsTheLaterEntriesThatNeedItAsAFolder) {
  // Entry 1 makes d/f a file; entry 4 needs it as a folder, so entry 4 fails, never entry 1 and
  // its 12 MB. Between them, d\g\x touches neither, and d touches both and fails.
  expect_index_order({{{"d\\f", LARGE}, {"d\\g\\x", 100}, {"d", 100}, {"d\\f\\z", 100}},
                      "DarvEx: entry 3 (d): cannot create: Is a directory\n"
                      "DarvEx: entry 4 (d\\f\\z): cannot create: Not a directory\n",
                      {"d", "d/f", "d/g", "d/g/x", "table.bin"},
                      {{"d/f", 1}, {"d/g/x", 2}}});
}

TEST(CliTouching, AFolderNamedInTwoCasesIsSpelledAsTheFirstEntryNamingItSpellsIt) {
  // On Windows D and d are one folder, made by whichever entry reaches it first, and a small
  // entry 2 may come before a large entry 1: index order decides its spelling too. Elsewhere
  // they are two folders.
  const bool one_folder = testing_a_windows_build();
  expect_index_order({{{"D\\F\\z", LARGE}, {"d\\g", 100}},
                      "",
                      one_folder ? std::vector<std::string>{"D", "D/F", "D/F/z", "D/g", "table.bin"}
                                 : std::vector<std::string>{"D", "D/F", "D/F/z", "d", "d/g", "table.bin"},
                      {{"D/F/z", 1}, {one_folder ? "D/g" : "d/g", 2}}});
}

}  // namespace
}  // namespace darvex::test_support
