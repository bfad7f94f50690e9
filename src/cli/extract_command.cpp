#include "archive/extract_entries.hpp"
#include "archive/output_directory.hpp"
#include "cli/archive_session.hpp"
#include "cli/commands.hpp"
#include "cli/output_dir.hpp"

namespace darvex {
namespace {

// Shows each entry as extraction tells of it: "<output_dir>\<name>", then any failure.
class progress_lines final : public entry_listener {
 public:
  progress_lines(const std::string& output_dir, console& screen) : output_dir_(output_dir), screen_(screen) {}

  void entry_done(const planned_entry& entry, const entry_outcome& outcome) override {
    screen_.print_path(output_dir_);
    screen_.print("\\");
    screen_.print_name(entry.name);
    screen_.print(outcome.kept_existing ? "  (exists, not replaced)\n" : "\n");
    if (outcome.failure) {
      screen_.report(entry, outcome.failure->reason, outcome.failure->err);
      ++failures_;
    } else if (entry.names_table && !outcome.kept_existing && !table_replaced_) {
      screen_.report(entry, std::string("replaces the index dump ") + TABLE_NAME + " (the entry is kept)");
      table_replaced_ = true;
    }
  }
  void idle() override { screen_.flush(); }

  std::uint32_t failures() const { return failures_; }

 private:
  const std::string& output_dir_;
  console& screen_;
  std::uint32_t failures_ = 0;
  bool table_replaced_ = false;
};

}  // namespace

exit_status run_extract(const options& chosen, const std::string& archive_path, console& screen) {
  archive_session session;
  if (auto failure = session.archive.open(archive_path)) return stopped_by(screen, *failure);
  const std::optional<std::string> output_dir = chosen.directory ? chosen.directory : derive_output_dir(archive_path);
  if (!output_dir) {
    return stopped_by(screen, session.archive.trouble(problem_kind::write, no_output_dir_reason(archive_path)));
  }
  output_directory directory;
  if (auto failure = directory.open(*output_dir, chosen.directory.has_value())) return stopped_by(screen, *failure);
  if (auto failure = load_index(session.archive, session.inflate, session.index)) return stopped_by(screen, *failure);
  const existing_files policy = chosen.no_overwrite ? existing_files::keep : existing_files::replace;
  // Written before anything is checked, so that an index that does not inflate shows what it held.
  if (auto failure = directory.write_table(session.index, policy)) return stopped_by(screen, *failure);
  if (auto failure = session.plan_entries_of(chosen)) return stopped_by(screen, *failure);
  const bool unmatched = session.report_unmatched(screen);

  screen.print("\n");
  progress_lines progress(*output_dir, screen);
  directory_sink sink(directory, policy);
  extract_entries(session.archive, session.plan, sink, progress, jobs_to_use(chosen));
  screen.print("Extracion Complete");
  screen.flush();
  return progress.failures() == 0 && !unmatched ? exit_status::ok : exit_status::incomplete;
}

}  // namespace darvex
