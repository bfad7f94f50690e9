#include "cli/run_progress.hpp"

namespace darvex {

run_progress::run_progress(console& screen, const entry_plan& plan, const terminal_report& report)
    : screen_(screen),
      written_where_(report.written_where),
      pace_(progress_pace::clock::now()),
      columns_(screen.err_columns()) {
  for (const planned_entry& entry : plan.entries) {
    ++total_.entries;
    // A refused entry's size may be anything: it is never read.
    if (!entry.refused()) total_.bytes += entry.size;
  }
  summary_.written_where = written_where_;
  screen_.hold_output(true);
}

void run_progress::entry_done(const planned_entry& entry, const entry_outcome& outcome) {
  ++done_.entries;
  if (!entry.refused()) done_.bytes += entry.size;
  if (outcome.failure) {
    ++summary_.failed;
  } else if (outcome.kept_existing) {
    ++summary_.kept;
  } else {
    ++summary_.written.entries;
    summary_.written.bytes += entry.size;
  }
  tick();
}

void run_progress::tick() {
  const progress_pace::clock::time_point now = progress_pace::clock::now();
  if (!pace_.tick(now)) return;
  if (pace_.shows_progress(now)) {
    screen_.show_status(progress_line(done_, total_, pace_.seconds(now), columns_));
  } else {
    screen_.flush();
  }
}

void run_progress::finish() {
  screen_.clear_status();
  screen_.hold_output(false);
  if (written_where_ == nullptr) return;
  summary_.seconds = pace_.seconds(progress_pace::clock::now());
  screen_.say(summary_line(summary_));
}

}  // namespace darvex
