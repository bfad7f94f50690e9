#include <cstdio>

#include "cli/archive_session.hpp"
#include "cli/commands.hpp"

namespace darvex {
namespace {

constexpr const char LIST_RULE[] = "-----------  -----------  ----\n";

std::string columns(const std::string& size, const std::string& span) {
  char line[64];
  std::snprintf(line, sizeof line, "%11s  %11s  ", size.c_str(), span.c_str());
  return line;
}

}  // namespace

exit_status run_list(const options& chosen, const std::string& archive_path, console& screen) {
  archive_session session;
  if (auto failure = session.read(archive_path, chosen)) return stopped_by(screen, *failure);
  const bool unmatched = session.report_unmatched(screen);
  print_archive_line(screen, archive_path);
  screen.print(columns("Size", "Span") + "Name\n" + LIST_RULE);
  std::uint64_t entries = 0, total_size = 0, total_span = 0;
  bool refused = false;
  for (const planned_entry& entry : session.plan.entries) {
    if (!entry.selected) continue;
    // A span that runs backwards has no length to show.
    screen.print(columns(std::to_string(entry.size), entry.span_known() ? std::to_string(entry.span_length()) : "-"));
    screen.print_name(entry.name);
    screen.print("\n");
    if (entry.refused()) {
      screen.report(entry, entry.refusal);
      refused = true;
    }
    ++entries;
    total_size += entry.size;
    total_span += entry.span_length();
  }
  screen.print(std::string(LIST_RULE) + columns(std::to_string(total_size), std::to_string(total_span)) +
               std::to_string(entries) + (entries == 1 ? " entry\n" : " entries\n"));
  screen.flush();
  return refused || unmatched ? exit_status::incomplete : exit_status::ok;
}

}  // namespace darvex
