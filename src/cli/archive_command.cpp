#include "cli/archive_command.hpp"

#include <memory>
#include <optional>

#include "cli/dropped_folder.hpp"
#include "platform/process.hpp"
#include "select/pattern_hint.hpp"

namespace darvex {
namespace {

// Why `pattern` selected nothing, with a pattern near it that would have selected something.
std::string unmatched_reason(const std::string& pattern, const entry_plan& plan) {
  std::string reason = "no entry matches \"" + pattern + "\"";
  if (const std::optional<pattern_hint> hint = hint_for(pattern, plan.all_names)) {
    reason += " (a pattern matches the whole stored name: '" + hint->pattern + "' matches " + hint->example + ")";
  }
  return reason;
}

// Hands each entry to the command for its line, then reports any failure and counts it.
class entry_reporter final : public entry_listener {
 public:
  entry_reporter(archive_command& command, console& screen, run_progress* progress)
      : command_(command), screen_(screen), progress_(progress) {}

  void entry_done(const planned_entry& entry, const entry_outcome& outcome) override {
    ++tally_.entries;
    command_.show(entry, outcome, screen_);
    if (outcome.failure) {
      screen_.report(entry, *outcome.failure);
      ++tally_.failures;
      status_ = worst(status_, status_for(outcome.failure->kind));
    }
    if (progress_ != nullptr) progress_->entry_done(entry, outcome);
  }
  void idle() override {
    if (progress_ != nullptr) {
      progress_->idle();
    } else {
      screen_.flush();
    }
  }

  const entry_tally& tally() const { return tally_; }
  exit_status status() const { return status_; }

 private:
  archive_command& command_;
  console& screen_;
  run_progress* progress_;  // nullptr when there is no terminal to show progress on
  entry_tally tally_;
  exit_status status_ = exit_status::ok;
};

}  // namespace

exit_status run_archive_command(archive_command& command, const options& chosen, const std::string& archive_path,
                                console& screen) {
  loaded_archive loaded;
  if (auto failure = load_archive(
          archive_path, {chosen.includes, chosen.excludes, chosen.strip_components, chosen.names}, loaded, &command)) {
    command.stopped();
    screen.report(with_packing_command(*failure));
    return status_for(failure->kind);
  }
  exit_status status = exit_status::ok;
  for (const std::string& pattern : loaded.plan.unmatched) {
    screen.report_path(archive_path, unmatched_reason(pattern, loaded.plan));
    status = worst(status, status_for(front_end_problem::unmatched_pattern));
  }
  command.begin(screen);
  std::optional<run_progress> progress;
  const terminal_report shown = command.at_terminal(screen);
  if (shown.progress && !chosen.quiet && screen.err_is_terminal()) progress.emplace(screen, loaded.plan, shown);
  entry_reporter reporter(command, screen, progress ? &*progress : nullptr);
  if (entry_sink* sink = command.sink()) {
    extract_entries(loaded.archive, loaded.plan, *sink, reporter, jobs_to_use(chosen), platform::interrupted);
  } else {
    tell_entries(loaded.plan, reporter);
  }
  if (const maybe_problem unfinished = command.entries_done()) {
    screen.report(*unfinished);
    status = worst(status, status_for(unfinished->kind));
  }
  // An interrupted run ends without its closing lines: the front end says why.
  if (!platform::interrupted()) command.end(reporter.tally(), screen);
  if (progress) progress->finish();
  screen.flush();
  return worst(status, reporter.status());
}

void print_archive_line(console& screen, const std::string& archive_path) {
  screen.print("Archive: ");
  screen.print_path(archive_path);
  screen.print("\n");
}

}  // namespace darvex
