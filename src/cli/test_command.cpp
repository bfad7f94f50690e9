#include "archive/extract_entries.hpp"
#include "cli/archive_session.hpp"
#include "cli/commands.hpp"

namespace darvex {
namespace {

// Testing's sink: the entry was inflated exactly as extraction would; nothing is kept.
class discard_sink final : public entry_sink {
 public:
  entry_outcome take(const planned_entry&, const unsigned char*, std::size_t) override { return {}; }
};

// One line per entry, "OK" or "FAILED" before its name, then any failure.
class test_lines final : public entry_listener {
 public:
  explicit test_lines(console& screen) : screen_(screen) {}

  void entry_done(const planned_entry& entry, const entry_outcome& outcome) override {
    ++tested_;
    screen_.print(outcome.failure ? "FAILED  " : "OK      ");
    screen_.print_name(entry.name);
    screen_.print("\n");
    if (outcome.failure) {
      screen_.report(entry, outcome.failure->reason, outcome.failure->err);
      ++failures_;
    }
  }
  void idle() override { screen_.flush(); }

  std::uint32_t tested() const { return tested_; }
  std::uint32_t failures() const { return failures_; }

 private:
  console& screen_;
  std::uint32_t tested_ = 0;
  std::uint32_t failures_ = 0;
};

}  // namespace

exit_status run_test(const options& chosen, const std::string& archive_path, console& screen) {
  archive_session session;
  if (auto failure = session.read(archive_path, chosen)) return stopped_by(screen, *failure);
  const bool unmatched = session.report_unmatched(screen);
  print_archive_line(screen, archive_path);
  test_lines lines(screen);
  discard_sink nowhere;
  extract_entries(session.archive, session.plan, nowhere, lines, jobs_to_use(chosen));
  const std::string tested = std::to_string(lines.tested()) + (lines.tested() == 1 ? " entry" : " entries");
  const std::string verdict = lines.failures() == 0 ? "all OK" : std::to_string(lines.failures()) + " failed";
  screen.print(tested + " tested: " + verdict + "\n");
  screen.flush();
  return lines.failures() == 0 && !unmatched ? exit_status::ok : exit_status::incomplete;
}

}  // namespace darvex
