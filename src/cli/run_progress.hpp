#pragma once

// A run's progress at a terminal: while its entries go, a progress line at the bottom of
// standard error (progress_meter says what it shows and when); at the end, a line on standard
// error that sums up what was written. Only standard error's terminal ever sees them: a pipe or
// a file, on either stream, gets exactly what it would without them.

#include "cli/console.hpp"
#include "cli/progress_meter.hpp"
#include "extract/extract_entries.hpp"
#include "select/entry_plan.hpp"

namespace darvex {

// What a command shows at a terminal besides its own lines.
struct terminal_report {
  bool progress = false;  // a progress line while its entries go
  // The words of the closing summary ("written", "written to standard output"), or nullptr for
  // none: a command whose last line sums it up already needs none.
  const char* written_where = nullptr;
};

// What became of one item of a run, for its summary.
enum class item_result { written, kept, failed };

class run_progress {
 public:
  // Starts showing the progress of `plan` on `screen`, whose standard error is a terminal.
  run_progress(console& screen, const entry_plan& plan, const terminal_report& report);
  // The same for a run of `total` that is no plan's (-c's records).
  run_progress(console& screen, const progress_counts& total, const terminal_report& report);
  run_progress(const run_progress&) = delete;
  run_progress& operator=(const run_progress&) = delete;

  void entry_done(const planned_entry& entry, const entry_outcome& outcome);
  // One item done: `bytes` of the total.
  void item_done(std::uint64_t bytes, item_result result);
  void idle() { tick(); }
  // Removes the progress line, lets out what standard output holds, then sums the run up
  // unless told not to.
  void finish(bool summed_up = true);

 private:
  void tick();

  console& screen_;
  const char* written_where_;
  progress_pace pace_;
  unsigned columns_;
  progress_counts total_;
  progress_counts done_;
  run_summary summary_;
};

}  // namespace darvex
