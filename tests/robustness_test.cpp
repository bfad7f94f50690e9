// Damaged archives, many of them: a valid archive cut at every length, and valid archives with a
// few bytes flipped. The whole tool runs in-process in a watched scratch tree (thousands of runs
// would take minutes as processes). Every run must keep the tool's promises: exit status 0, 1
// or 2, nothing written outside the output directory, no file larger than the size its index
// records, and each failure one `DarvEx: <what>: <reason>` line on stderr. The site plants links
// where each run writes, and half of the runs with flipped bytes take three workers.

#include <gtest/gtest.h>

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "index_peek.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"
#include "watched_site.hpp"

namespace darvex::test_support {
namespace {

constexpr std::size_t INDEX_BUFFER_SIZE = 524288;
const char CLOSING[] = "Extracion Complete";
const std::string TABLE = "table.bin";

struct run_output {
  int status = -1;
  std::string out;
  std::string err;
};

// Sends file descriptor `fd` to a file while alive; `text()` gives what was written there.
class captured_fd {
 public:
  captured_fd(int fd, const fs::path& file) : fd_(fd), saved_(::dup(fd)), file_(file) {
    std::FILE* sink = std::fopen(file.c_str(), "wb");
    ::dup2(::fileno(sink), fd_);
    std::fclose(sink);
  }
  ~captured_fd() { restore(); }
  captured_fd(const captured_fd&) = delete;
  captured_fd& operator=(const captured_fd&) = delete;

  std::string text() {
    restore();
    return read_file(file_);
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    ::dup2(saved_, fd_);
    ::close(saved_);
    saved_ = -1;
  }
  int fd_;
  int saved_;
  fs::path file_;
};

// The recorded size of every name the archive's index gives, the largest where a name repeats;
// nothing when the index does not inflate or lists more entries than the table holds. Worked out
// from the archive, not from table.bin, which an entry of that name could replace.
std::map<std::string, std::uint32_t> recorded_sizes(const std::string& archive) {
  std::map<std::string, std::uint32_t> sizes;
  for (const peeked_record& record : peek_index(archive).value_or(std::vector<peeked_record>{})) {
    sizes[record.name] = std::max(sizes[record.name], record.size);
  }
  return sizes;
}

class Robustness : public ::testing::Test {
 protected:
  run_output run(const std::string& archive, const std::vector<std::string>& options = {}) {
    run_output result;
    std::fflush(stdout);
    captured_fd out(STDOUT_FILENO, capture_ / "out");
    captured_fd err(STDERR_FILENO, capture_ / "err");
    result.status = site_.run(archive, options);
    std::fflush(stdout);
    std::fflush(stderr);
    result.out = out.text();
    result.err = err.text();
    return result;
  }

  // The first promise the run broke, or an empty string.
  std::string broken_promise(const std::string& archive, const run_output& result) const {
    if (result.status < 0 || result.status > 2) return "exit status " + std::to_string(result.status);
    if (const std::vector<std::string> escapes = site_.escapes(); !escapes.empty()) return escapes.front();
    if (std::string wrong = wrong_messages(result); !wrong.empty()) return wrong;
    const std::map<std::string, std::uint32_t> sizes = recorded_sizes(archive);
    std::uint32_t largest = 0;  // for a file whose stored name has other separators or parts
    for (const auto& [name, size] : sizes) largest = std::max(largest, size);
    for (const auto& item : fs::recursive_directory_iterator(site_.output_dir())) {
      if (item.is_symlink() || !item.is_regular_file()) continue;  // links are planted by the site, and checked there
      const std::string name = item.path().lexically_relative(site_.output_dir()).generic_string();
      const auto recorded = sizes.find(name);
      const std::uintmax_t limit = name == TABLE ? INDEX_BUFFER_SIZE : 0;
      const std::uintmax_t allowed =
          std::max<std::uintmax_t>(limit, recorded == sizes.end() ? largest : recorded->second);
      if (item.file_size() > allowed) {
        return name + " holds " + std::to_string(item.file_size()) + " bytes, more than the " +
               std::to_string(allowed) + " its index records";
      }
    }
    return {};
  }

  // "DarvEx: <what>: <reason>", neither part empty.
  static bool is_message(const std::string& line) {
    const std::string prefix = "DarvEx: ";
    const std::size_t separator = line.find(": ", prefix.size() + 1);
    return line.rfind(prefix, 0) == 0 && separator != std::string::npos && separator + 2 < line.size();
  }

  // Status 0: no stderr; 1: one line or more; 2: exactly one line and no progress at all.
  static std::string wrong_messages(const run_output& result) {
    std::size_t lines = 0;
    for (std::size_t start = 0; start < result.err.size(); ++lines) {
      const std::size_t end = result.err.find('\n', start);
      if (end == std::string::npos || !is_message(result.err.substr(start, end - start))) {
        return "stderr is not made of `DarvEx: <what>: <reason>` lines: " + result.err;
      }
      start = end + 1;
    }
    const bool closed = result.out.size() > 1 && result.out.front() == '\n' && result.out.ends_with(CLOSING);
    if (result.status == 0 && (lines != 0 || !closed)) return "status 0 with stderr: " + result.err;
    if (result.status == 1 && (lines == 0 || !closed)) return "status 1 without a reason, or unclosed";
    if (result.status == 2 && (lines != 1 || !result.out.empty())) {
      return "status 2 must give one line and no progress; stderr: " + result.err;
    }
    return {};
  }

  // The bytes of each file in the output directory, table.bin aside.
  std::map<std::string, std::string> extracted() const {
    std::map<std::string, std::string> files;
    for (const auto& item : fs::directory_iterator(site_.output_dir())) {
      const std::string name = item.path().filename().string();
      if (name != TABLE && !item.is_symlink()) files[name] = read_file(item.path());
    }
    return files;
  }

  watched_site site_;
  scratch_dir capture_;
};

// Several entries of each kind of content, a gap after the header and bytes after the index's
// stream (which a reader ignores).
test_archive sample_archive() {
  test_archive archive;
  archive.gap = "a gap after the header";
  archive.after_index = "bytes after the index's stream";
  archive.entries = {entry("readme.txt", "a few bytes of text\n"), entry("empty.cfg", ""),
                     entry("level.xml", text_like(2000, 1)),       entry("mesh.bin", binary_like(3000, 2)),
                     entry("noise.ogg", incompressible(400, 3)),   entry("../../x", "hostile")};
  return archive;
}

std::map<std::string, std::string> contents_of(const test_archive& archive) {
  std::map<std::string, std::string> files;
  for (const test_entry& e : archive.entries) {
    uLongf length = e.size;
    std::string data(e.size, '\0');
    if (uncompress(reinterpret_cast<Bytef*>(data.data()), &length, reinterpret_cast<const Bytef*>(e.stream.data()),
                   e.stream.size()) == Z_OK &&
        e.name.find("..") == std::string::npos) {
      files[e.name] = data;
    }
  }
  return files;
}

// Step 1 through the header and from just before the index to the end, coarser between.
std::vector<std::size_t> cut_lengths(const test_archive& archive) {
  const std::size_t fine_from = archive.stream_offsets().back() - 32;
  const std::size_t full = archive.bytes().size();
  std::vector<std::size_t> lengths;
  for (std::size_t length = 0; length <= full; length += (length < 64 || length >= fine_from) ? 1 : 29) {
    lengths.push_back(length);
  }
  return lengths;
}

TEST_F(Robustness, ArchiveCutAtAnyLengthStopsOrExtractsExactly) {
  const test_archive archive = sample_archive();
  const std::string whole = archive.bytes();
  // Every cut inside the index's stream, or before it, leaves an index that cannot be read;
  // cuts in the bytes after it leave the whole archive (status 1: the hostile name's refusal).
  const std::size_t index_end = whole.size() - archive.after_index.size();
  for (std::size_t length : cut_lengths(archive)) {
    const std::string cut = whole.substr(0, length);
    const run_output result = run(cut);
    ASSERT_EQ(broken_promise(cut, result), "") << "cut at " << length;
    if (length < index_end) {
      ASSERT_EQ(result.status, 2) << "cut at " << length << ": " << result.err;
      ASSERT_TRUE(extracted().empty()) << "cut at " << length;
    } else {
      ASSERT_EQ(result.status, 1) << "cut at " << length << ": " << result.err;
      ASSERT_EQ(extracted(), contents_of(archive)) << "cut at " << length;
    }
  }
}

// Flips `count` bytes of `bytes`, at positions from `from` up to `to`, to other values.
std::string flipped(std::string bytes, std::size_t from, std::size_t to, int count, std::mt19937& random) {
  for (int i = 0; i < count; ++i) {
    const std::size_t at = from + random() % (to - from);
    bytes[at] = static_cast<char>(bytes[at] ^ (1 + random() % 255));
  }
  return bytes;
}

TEST_F(Robustness, FlippedBytesAnywhereKeepEveryPromise) {
  const std::string whole = sample_archive().bytes();
  std::mt19937 random(20261208);
  for (int run_number = 0; run_number < 200; ++run_number) {
    const int count = 1 + static_cast<int>(random() % 8);  // up to 8 of some 2,300 bytes
    const std::string damaged = flipped(whole, 0, whole.size(), count, random);
    const run_output result = run(damaged, {"-j", run_number % 2 == 0 ? "1" : "3"});
    ASSERT_EQ(broken_promise(damaged, result), "") << "run " << run_number;
  }
}

TEST_F(Robustness, FlippedBytesInOneEntryFailOnlyThatEntry) {
  const test_archive archive = sample_archive();
  const std::string whole = archive.bytes();
  const std::vector<std::uint64_t> offsets = archive.stream_offsets();
  const std::map<std::string, std::string> good = contents_of(archive);
  std::mt19937 random(8122026);
  for (int run_number = 0; run_number < 60; ++run_number) {
    // Any entry but the last, the hostile one that is refused whatever its bytes.
    const std::size_t damaged_entry = random() % (archive.entries.size() - 1);
    const test_entry& victim = archive.entries[damaged_entry];
    const std::string damaged =
        flipped(whole, offsets[damaged_entry], offsets[damaged_entry + 1], 1 + static_cast<int>(random() % 3), random);
    const run_output result = run(damaged);
    const std::string where = "run " + std::to_string(run_number) + ", " + victim.name;
    ASSERT_EQ(broken_promise(damaged, result), "") << where;
    ASSERT_EQ(result.status, 1) << where;
    // The damaged entry and the refused hostile one, each named on its own line.
    const std::string expected_first =
        "DarvEx: entry " + std::to_string(damaged_entry + 1) + " (" + victim.name + "): ";
    ASSERT_EQ(result.err.rfind(expected_first, 0), 0u) << where << ": " << result.err;
    ASSERT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << where << ": " << result.err;
    std::map<std::string, std::string> files = extracted();
    files.erase(victim.name);
    std::map<std::string, std::string> expected = good;
    expected.erase(victim.name);
    ASSERT_EQ(files, expected) << where;
  }
}

// Runs of the tool interrupted or killed at random points leave only whole files under entry
// names; an interrupted run also leaves no temporary and says so; a killed run's temporaries
// are gone after the next run.
TEST(RobustnessInterrupted, RunsStoppedAtRandomPointsLeaveOnlyWholeFiles) {
  if (testing_a_windows_build()) GTEST_SKIP() << "POSIX signals";
  test_archive archive;
  std::map<std::string, std::string> contents;
  for (int i = 0; i < 60; ++i) {
    const std::string name = numbered(i % 3 == 0 ? "top" : numbered("dir", i % 4) + "\\sub\\file", i);
    const std::string data = i % 2 == 0 ? incompressible(400000 + 7000 * i, i) : text_like(300000, i);
    archive.entries.push_back(entry(name, data));
    std::string path = name;
    std::replace(path.begin(), path.end(), '\\', '/');
    contents[path] = data;
  }
  const scratch_dir dir;
  archive.write_to((dir / "file.dat").string());
  std::mt19937 random(20261209);
  const int signals[] = {SIGINT, SIGTERM, SIGKILL};
  for (int run_number = 0; run_number < 24; ++run_number) {
    const int signal_number = signals[random() % 3];
    const auto delay = std::chrono::milliseconds(random() % 60);
    const std::string jobs = std::to_string(1 + random() % 4);
    const std::string where = "run " + std::to_string(run_number) + ": signal " + std::to_string(signal_number) +
                              " after " + std::to_string(delay.count()) + " ms, -j " + jobs;
    const tool_result result =
        run_tool(dir.path(), {"-j", jobs, "file.dat"}, run_options::signalled_after(signal_number, delay));
    int temporaries = 0;
    if (fs::exists(dir / "file")) {
      for (const auto& item : fs::recursive_directory_iterator(dir / "file")) {
        const std::string path = item.path().lexically_relative(dir / "file").generic_string();
        if (item.path().filename().string().rfind(".DarvEx-partial", 0) == 0) {
          ++temporaries;
        } else if (item.is_regular_file() && path != TABLE) {
          ASSERT_TRUE(contents.count(path) == 1 && read_file(item.path()) == contents.at(path))
              << where << ": " << path;
        }
      }
    }
    if (result.signal == SIGKILL) {
      const tool_result next = run_tool(dir.path(), {"-j", jobs, "file.dat"});
      ASSERT_EQ(next.status, 0) << where << ": " << next.err;
    } else if (result.signal == 0 && result.status != 0) {
      ASSERT_EQ(result.status, 128 + signal_number) << where;
      ASSERT_EQ(result.err, "DarvEx: interrupted\n") << where;
      ASSERT_EQ(temporaries, 0) << where;
    }
    fs::remove_all(dir / "file");
  }
}

}  // namespace
}  // namespace darvex::test_support
