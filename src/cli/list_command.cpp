#include <cstdio>

#include "cli/archive_command.hpp"
#include "cli/commands.hpp"
#include "cli/json_report.hpp"

namespace darvex {
namespace {

constexpr const char LIST_RULE[] = "-----------  -----------  ----\n";

std::string columns(const std::string& size, const std::string& span) {
  char line[64];
  std::snprintf(line, sizeof line, "%11s  %11s  ", size.c_str(), span.c_str());
  return line;
}

// A table of the selected entries, read from the index alone: size, span and name, then totals.
class list_command final : public archive_command {
 public:
  explicit list_command(const std::string& archive_path) : archive_path_(archive_path) {}

  entry_sink* sink() override { return nullptr; }

  void begin(console& screen) override {
    print_archive_line(screen, archive_path_);
    screen.print(columns("Size", "Span") + "Name\n" + LIST_RULE);
  }

  void show(const planned_entry& entry, const entry_outcome&, console& screen) override {
    // A span that runs backwards has no length to show.
    screen.print(columns(std::to_string(entry.size), entry.span_known() ? std::to_string(entry.span_length()) : "-"));
    screen.print_name(entry.name);
    screen.print("\n");
    total_size_ += entry.size;
    total_span_ += entry.span_length();
  }

  void end(const entry_tally& tally, console& screen) override {
    screen.print(std::string(LIST_RULE) + columns(std::to_string(total_size_), std::to_string(total_span_)) +
                 std::to_string(tally.entries) + (tally.entries == 1 ? " entry\n" : " entries\n"));
  }

 private:
  const std::string& archive_path_;
  std::uint64_t total_size_ = 0;
  std::uint64_t total_span_ = 0;
};

}  // namespace

exit_status run_list(const options& chosen, const std::string& archive_path, console& screen) {
  list_command listing(archive_path);
  return run_with_chosen_report(listing, chosen, archive_path, screen);
}

}  // namespace darvex
