#pragma once

// The one sequence every command runs on an archive: open it, load its index, plan the entries
// the options select, run the plan into the command's sink (or only tell of each entry, for a
// command that reads none), and end with the status the problems met call for. A command
// supplies only what is its own: its sink, its lines and any step around loading the index.

#include <cstdint>
#include <string>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/options.hpp"
#include "cli/run_progress.hpp"
#include "extract/extract_entries.hpp"
#include "format/archive.hpp"
#include "select/entry_plan.hpp"

namespace darvex {

// What became of a command's entries.
struct entry_tally {
  std::uint32_t entries = 0;   // told of
  std::uint32_t failures = 0;  // refused, damaged or not written
};

class archive_command {
 public:
  // Runs once the archive is open, before its index is read: extraction names its directory here.
  virtual maybe_problem before_index(const archive_file&) { return std::nullopt; }
  // Runs once the index is loaded and its records read: extraction makes its directory and
  // writes table.bin here.
  virtual maybe_problem index_loaded(const loaded_index&) { return std::nullopt; }
  // Runs when the run stops before its entries: extraction takes back the folders it made.
  virtual void stopped() {}
  // Where entries' inflated bytes go, or nullptr for a command that reads no entry.
  virtual entry_sink* sink() = 0;
  // Runs once the entries are done, interrupted or not: extraction puts a new output directory
  // in place here.
  virtual maybe_problem entries_done() { return std::nullopt; }

  virtual void begin(console& screen) = 0;  // the lines before the entries
  // The line for one entry, shown before any failure of it is reported.
  virtual void show(const planned_entry& entry, const entry_outcome& outcome, console& screen) = 0;
  virtual void end(const entry_tally& tally, console& screen) = 0;  // the lines after them
  // What a terminal shows besides the lines (when standard error is one and -q is not given).
  virtual terminal_report at_terminal(const console&) const { return {}; }

 protected:
  ~archive_command() = default;
};

// What a command reads of an archive before its entries.
struct loaded_archive {
  archive_file archive;
  loaded_index index;
  entry_plan plan;
};

// Opens the archive at `archive_path`, loads and checks its index (a failure in plain words where
// the start of the file tells more) and plans the entries `selection` takes; `command`, when
// there is one, runs its steps on the way.
[[nodiscard]] maybe_problem load_archive(const std::string& archive_path, const entry_selection& selection,
                                         loaded_archive& loaded, archive_command* command = nullptr);

// Runs `command` on the archive at `archive_path`; every problem is reported on `screen`.
exit_status run_archive_command(archive_command& command, const options& chosen, const std::string& archive_path,
                                console& screen);

// "Archive: <path>", the first line of a listing or a test.
void print_archive_line(console& screen, const std::string& archive_path);

}  // namespace darvex
