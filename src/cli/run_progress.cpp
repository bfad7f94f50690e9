#include "cli/run_progress.hpp"

namespace darvex {

namespace {

progress_counts total_of(const entry_plan& plan) {
  progress_counts total;
  for (const planned_entry& entry : plan.entries) {
    ++total.entries;
    // A refused entry's size may be anything: it is never read.
    if (!entry.refused()) total.bytes += entry.size;
  }
  return total;
}

}  // namespace

run_progress::run_progress(console& screen, const entry_plan& plan, const terminal_report& report)
    : run_progress(screen, total_of(plan), report) {}

run_progress::run_progress(console& screen, const progress_counts& total, const terminal_report& report)
    : screen_(screen),
      written_where_(report.written_where),
      pace_(progress_pace::clock::now()),
      columns_(screen.err_columns()),
      total_(total) {
  summary_.written_where = written_where_;
  screen_.hold_output(true);
}

void run_progress::entry_done(const planned_entry& entry, const entry_outcome& outcome) {
  const item_result result = outcome.failure         ? item_result::failed
                             : outcome.kept_existing ? item_result::kept
                                                     : item_result::written;
  item_done(entry.refused() ? 0 : entry.size, result);
}

void run_progress::item_done(std::uint64_t bytes, item_result result) {
  ++done_.entries;
  done_.bytes += bytes;
  switch (result) {
    case item_result::failed:
      ++summary_.failed;
      break;
    case item_result::kept:
      ++summary_.kept;
      break;
    case item_result::written:
      ++summary_.written.entries;
      summary_.written.bytes += bytes;
      break;
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

void run_progress::finish(bool summed_up) {
  screen_.clear_status();
  screen_.hold_output(false);
  if (written_where_ == nullptr || !summed_up) return;
  summary_.seconds = pace_.seconds(progress_pace::clock::now());
  screen_.say(summary_line(summary_));
}

}  // namespace darvex
