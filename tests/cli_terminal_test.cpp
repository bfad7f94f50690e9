// Black-box tests of a run at a terminal (a pseudo-terminal, so POSIX only: the suite is
// Terminal, which the Windows build's test run leaves out): a progress line on standard error
// while the entries go, redrawn in place; the closing message ends its line; one summary line at
// the end. Into a pipe or a file, every byte is what it was before.

#include <gtest/gtest.h>

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
using namespace std::chrono_literals;

constexpr unsigned COLUMNS = 100;
const std::string LINE_START = "\r\x1B[K";  // how the progress line is drawn over, or cleared

// `text` with each `from` made `to` ("\r\n" and "\n", as a terminal shows line ends).
std::string with_line_ends(const std::string& text, const std::string& from, const std::string& to) {
  std::string out;
  std::size_t at = 0;
  for (std::size_t end = text.find(from); end != std::string::npos; end = text.find(from, at)) {
    out += text.substr(at, end - at) + to;
    at = end + from.size();
  }
  return out + text.substr(at);
}

// What a terminal showed, taken apart: its text as lines ("\r\n" read as "\n") without the
// progress lines, and the progress lines drawn. A progress line is what follows LINE_START up
// to the next LINE_START, which clears it; text that follows a LINE_START and ends its line
// is a line of the run's own.
struct terminal_text {
  std::string text;
  std::vector<std::string> progress;
};

terminal_text taken_apart(const std::string& shown) {
  terminal_text parts;
  std::string text;
  std::size_t at = 0;
  for (std::size_t start = shown.find(LINE_START); start != std::string::npos; start = shown.find(LINE_START, at)) {
    text += shown.substr(at, start - at);
    at = start + LINE_START.size();
    const std::size_t end = shown.find('\r', at);
    if (end != std::string::npos && shown.compare(end, LINE_START.size(), LINE_START) == 0) {
      if (end > at) parts.progress.push_back(shown.substr(at, end - at));
      at = end;
    }
  }
  text += shown.substr(at);
  parts.text = with_line_ends(text, "\r\n", "\n");
  return parts;
}

// Enough entries, and lines, that a terminal which reads nothing for a second holds the run up.
test_archive many_entries(std::vector<std::string>& names) {
  test_archive archive;
  for (int i = 0; i < 3500; ++i) {
    names.push_back(std::string(80, 'n') + std::to_string(i));
    archive.entries.push_back(entry(names.back(), text_like(2000, static_cast<std::uint32_t>(i))));
  }
  return archive;
}

// Whether `line` is a progress line of a run of 3,500 entries, one that fits the terminal.
bool is_progress(const std::string& line) {
  unsigned done = 0;
  unsigned percent = 0;
  char unit[4] = {};
  double bytes_done = 0;
  double bytes_total = 0;
  return std::sscanf(line.c_str(), "%u/3500 entries  %lf/%lf %3s  %u%%", &done, &bytes_done, &bytes_total, unit,
                     &percent) == 5 &&
         done <= 3500 && percent <= 100 && line.size() < COLUMNS;
}

// Whether `text` is one summary line: "DarvEx: <N> entries written<where>, <bytes> in <time> s".
bool is_summary(const std::string& text, const std::string& where) {
  return text.rfind("DarvEx: ", 0) == 0 && text.find(" written" + where + ", ") != std::string::npos &&
         text.ends_with(" s\n") && text.find('\n') == text.size() - 1;
}

class Terminal : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing_a_windows_build()) GTEST_SKIP() << "pseudo-terminals are POSIX";
    archive_ = many_entries(names_);
    archive_.write_to((dir_ / "file.dat").string());
  }
  tool_result run(const args& arguments, const run_options& routing) {
    return run_tool(dir_.path(), arguments, routing);
  }
  // The last line of `text` and what comes before it.
  static std::pair<std::string, std::string> split_last_line(const std::string& text) {
    const std::size_t start = text.rfind('\n', text.size() - 2) + 1;
    return {text.substr(0, start), text.substr(start)};
  }

  scratch_dir dir_;
  std::vector<std::string> names_;
  test_archive archive_;
};

TEST_F(Terminal, ASlowRunShowsItsProgressAndEndsItsClosingLine) {
  const tool_result result = run({"file.dat"}, run_options::in_terminal(COLUMNS, 1000ms));
  EXPECT_EQ(result.status, 0);
  const terminal_text shown = taken_apart(result.out);
  ASSERT_FALSE(shown.progress.empty()) << "a run held up for a second shows its progress";
  for (const std::string& line : shown.progress) EXPECT_TRUE(is_progress(line)) << line;
  const auto [lines, summary] = split_last_line(shown.text);
  EXPECT_TRUE(lines == progress("file", names_) + "\n") << "the lines as before, the closing one ended";
  EXPECT_TRUE(is_summary(summary, "")) << summary;
  EXPECT_EQ(summary.rfind("DarvEx: 3500 entries written, ", 0), 0u) << summary;
  EXPECT_EQ(list_tree(dir_ / "file").size(), 3501u);
}

TEST_F(Terminal, APipeOrAFileGetsWhatItGotBeforeAndTheTerminalOnlyProgress) {
  const std::string before = progress("file", names_);
  const tool_result piped = run({"file.dat"}, run_options::pipe_closed_after(before.size() + 1));
  EXPECT_EQ(piped.status, 0);
  EXPECT_TRUE(piped.out == before) << "no newline after the closing message, no progress";
  EXPECT_EQ(piped.err, "");

  // `DarvEx file.dat > log` at a terminal: the log as before, the terminal shows the rest.
  run_options logged = run_options::in_terminal(COLUMNS, 1000ms);
  logged.stdout_path = (dir_ / "log").string();
  const tool_result result = run({"file.dat"}, logged);
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(read_file(dir_ / "log") == before);
  const terminal_text shown = taken_apart(result.out);
  for (const std::string& line : shown.progress) EXPECT_TRUE(is_progress(line)) << line;
  EXPECT_TRUE(is_summary(shown.text, "")) << shown.text;
}

TEST_F(Terminal, QuietShowsNoProgressAndNoSummary) {
  for (const args& given : {args{"-q", "file.dat"}, args{"-p", "-q", "file.dat"}}) {
    SCOPED_TRACE(::testing::PrintToString(given));
    run_options logged = run_options::in_terminal(COLUMNS, 1000ms);
    logged.stdout_path = (dir_ / "log").string();
    const tool_result result = run(given, logged);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
  }
}

TEST_F(Terminal, BytesOnStandardOutputShareTheTerminalWithNothing) {
  run_options to_file = run_options::in_terminal(COLUMNS, 1000ms);
  to_file.stdout_path = (dir_ / "bytes").string();
  const tool_result elsewhere = run({"-p", "file.dat"}, to_file);
  EXPECT_EQ(elsewhere.status, 0);
  EXPECT_EQ(read_file(dir_ / "bytes").size(), 3500u * 2000u);
  const terminal_text shown = taken_apart(elsewhere.out);
  for (const std::string& line : shown.progress) EXPECT_TRUE(is_progress(line)) << line;
  EXPECT_TRUE(is_summary(shown.text, " to standard output")) << shown.text;
  EXPECT_EQ(shown.text.rfind("DarvEx: 3500 entries written to standard output, 6.7 MiB in ", 0), 0u) << shown.text;

  const tool_result here = run({"-p", "-i", names_[7], "file.dat"}, run_options::in_terminal(COLUMNS));
  EXPECT_EQ(here.status, 0);
  EXPECT_TRUE(here.out == with_line_ends(text_like(2000, 7), "\n", "\r\n")) << "the bytes alone";
}

TEST_F(Terminal, TestingShowsProgressAndItsOwnLastLine) {
  const tool_result result = run({"-t", "file.dat"}, run_options::in_terminal(COLUMNS, 1000ms));
  EXPECT_EQ(result.status, 0);
  const terminal_text shown = taken_apart(result.out);
  EXPECT_FALSE(shown.progress.empty());
  std::string expected = "Archive: file.dat\n";
  for (const std::string& name : names_) expected += "OK      " + name + "\n";
  EXPECT_TRUE(shown.text == expected + "3500 entries tested: all OK\n") << "no summary: the last line is one";
}

TEST_F(Terminal, CreateShowsItsProgressAndEndsWithItsSummary) {
  ASSERT_EQ(run({"-q", "file.dat"}, {}).status, 0);
  const args create = {"-c", "new.dat", "--like", "file.dat", "file"};
  const tool_result result = run(create, run_options::in_terminal(COLUMNS, 1000ms));
  EXPECT_EQ(result.status, 0);
  const terminal_text shown = taken_apart(result.out);
  EXPECT_FALSE(shown.progress.empty()) << "a run held up for a second shows its progress";
  for (const std::string& line : shown.progress) EXPECT_TRUE(is_progress(line)) << line;
  const auto [lines, summary] = split_last_line(shown.text);
  EXPECT_TRUE(lines.ends_with("\nCreated new.dat: 3500 entries (3500 kept, 0 new, 0 added)\n")) << lines.size();
  EXPECT_EQ(summary.rfind("DarvEx: 3500 entries packed, 6.7 MiB in ", 0), 0u) << summary;
  EXPECT_TRUE(summary.ends_with(" s\n")) << summary;
  // Into a pipe or a file: the lines alone.
  const tool_result piped = run(create, {});
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.err, "");
}

TEST(TerminalQuickRun, EndsItsLinesAndSumsUp) {
  if (testing_a_windows_build()) GTEST_SKIP() << "pseudo-terminals are POSIX";
  const scratch_dir dir;
  test_archive archive;
  archive.entries = {entry("a.txt", "alpha"), entry("../refused", "x")};
  archive.write_to((dir / "file.dat").string());
  const tool_result result = run_tool(dir.path(), {"file.dat"}, run_options::in_terminal(COLUMNS));
  EXPECT_EQ(result.status, 1);
  const std::string lines =
      "\r\nfile\\a.txt\r\nfile\\../refused\r\nDarvEx: entry 2 (../refused): unsafe name: a \"..\" component leaves "
      "the output directory\r\nExtracion Complete\r\n";
  EXPECT_EQ(result.out.substr(0, lines.size()), lines);
  const std::string summary = result.out.substr(std::min(lines.size(), result.out.size()));
  EXPECT_EQ(summary.rfind("DarvEx: 1 entry written, 5 B in 0.", 0), 0u) << summary;
  EXPECT_TRUE(summary.ends_with(" s; 1 failed\r\n")) << summary;
  EXPECT_EQ(summary.size(), std::string("DarvEx: 1 entry written, 5 B in 0.0 s; 1 failed\r\n").size()) << summary;
}

}  // namespace
}  // namespace darvex::test_support
