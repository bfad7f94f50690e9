#pragma once

// What every command reads from an archive, step by step: the archive, its index, the entry
// table and the plan of the selected entries.

#include <memory>
#include <string>
#include <vector>

#include "archive/archive.hpp"
#include "archive/entry_plan.hpp"
#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/options.hpp"

namespace darvex {

struct archive_session {
  archive_file archive;
  inflater inflate;
  loaded_index index;
  std::unique_ptr<entry_table> table;
  std::uint32_t entry_count = 0;
  entry_plan plan;
  std::vector<std::string> unmatched;  // -i patterns that match no entry

  // Opens the archive at `path`, loads its index and plans the entries `chosen` selects.
  [[nodiscard]] stage_result read(const std::string& path, const options& chosen);
  // Checks the loaded index, reads the entry table and plans the entries `chosen` selects.
  [[nodiscard]] stage_result plan_entries_of(const options& chosen);

  // Reports each -i pattern that matched nothing; true when there was one.
  bool report_unmatched(console& screen) const;
};

// "Archive: <path>", the first line of a listing or a test.
void print_archive_line(console& screen, const std::string& archive_path);

// Reports the problem that stopped a command and gives the status for it.
exit_status stopped_by(console& screen, const problem& failure);

}  // namespace darvex
