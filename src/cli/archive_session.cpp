#include "cli/archive_session.hpp"

namespace darvex {

stage_result archive_session::read(const std::string& path, const options& chosen) {
  if (auto failure = archive.open(path)) return failure;
  if (auto failure = load_index(archive, inflate, index)) return failure;
  return plan_entries_of(chosen);
}

stage_result archive_session::plan_entries_of(const options& chosen) {
  if (auto failure = check_index(archive, index)) return failure;
  table.reset(new entry_table);  // uninitialised: read_entry_table fills what the plan reads
  if (auto failure = read_entry_table(archive, index, *table, entry_count)) return failure;
  plan = plan_entries(*table, entry_count, index.index_offset);
  unmatched = select_entries(plan, chosen.includes, chosen.excludes);
  return std::nullopt;
}

bool archive_session::report_unmatched(console& screen) const {
  for (const std::string& pattern : unmatched) {
    screen.report(quoted(archive.path()), "no entry matches \"" + pattern + "\"");
  }
  return !unmatched.empty();
}

void print_archive_line(console& screen, const std::string& archive_path) {
  screen.print("Archive: ");
  screen.print_path(archive_path);
  screen.print("\n");
}

exit_status stopped_by(console& screen, const problem& failure) {
  screen.report(failure);
  return exit_status::stopped;
}

}  // namespace darvex
