#include <cerrno>

#include "cli/archive_command.hpp"
#include "cli/commands.hpp"
#include "cli/new_folders.hpp"
#include "cli/output_dir.hpp"
#include "extract/directory_writer.hpp"

namespace darvex {
namespace {

// Every selected entry written as a file of the output directory, beside the index dump, with a
// line "<output_dir>\<name>" for each.
class extract_command final : public archive_command {
 public:
  explicit extract_command(const options& chosen)
      : chosen_(chosen),
        policy_(chosen.no_overwrite ? existing_files::keep : existing_files::replace),
        sink_(directory_, policy_, jobs_to_use(chosen)) {}

  maybe_problem before_index(const archive_file& archive) override {
    const std::optional<std::string> output_dir =
        chosen_.directory ? chosen_.directory : derive_output_dir(archive.path());
    if (!output_dir) return archive.trouble(problem_kind::output, no_output_dir_reason(archive.path()));
    output_dir_ = *output_dir;
    archive_ = &archive;
    return std::nullopt;
  }

  // The directory is made only for an index that loads and holds together, so that a run that
  // stops leaves no folder holding table.bin alone.
  maybe_problem index_loaded(const loaded_index& index) override {
    const bool with_parents = chosen_.directory.has_value();
    made_ = missing_folders(output_dir_, with_parents);
    if (auto failure = directory_.open(output_dir_, with_parents, *archive_)) {
      // A directory named after the archive that is a file is no fault of the user's path.
      if (failure->err != ENOTDIR || with_parents) return failure;
      return archive_->trouble(problem_kind::output, "the output directory \"" + output_dir_ +
                                                         "\" would be the file \"" + output_dir_ + "\"; use -d DIR");
    }
    if (chosen_.no_table) return std::nullopt;
    return directory_.write_table(index, policy_);
  }

  // A directory filled under a temporary name is given its own even so: what it holds
  // (table.bin, when the index loaded but failed its check) is what a reader looks at next.
  void stopped() override {
    (void)directory_.finish();
    remove_while_empty(made_);
  }

  // The entries are in place before the closing message says so.
  maybe_problem entries_done() override { return directory_.finish(); }

  entry_sink* sink() override { return &sink_; }

  void begin(console& screen) override { screen.print("\n"); }

  void show(const planned_entry& entry, const entry_outcome& outcome, console& screen) override {
    screen.print_path(output_dir_);
    screen.print("\\");
    screen.print_name(entry.name);
    screen.print(outcome.kept_existing ? "  (exists, not replaced)\n" : "\n");
    if (entry.names_table && !chosen_.no_table && !outcome.failure && !outcome.kept_existing && !table_replaced_) {
      screen.note(entry, std::string("replaces the index dump ") + TABLE_NAME + " (the entry is kept)");
      table_replaced_ = true;
    }
  }

  // At a terminal the closing message ends its line, so that the prompt starts one of its own.
  void end(const entry_tally&, console& screen) override {
    screen.print(screen.out_is_terminal() ? "Extracion Complete\n" : "Extracion Complete");
  }

  terminal_report at_terminal(const console&) const override { return {true, "written"}; }

 private:
  const options& chosen_;
  existing_files policy_;
  std::string output_dir_;
  const archive_file* archive_ = nullptr;  // the archive being read: no entry may replace it
  std::vector<std::string> made_;          // the folders of output_dir_ that this run made
  directory_writer directory_;
  directory_sink sink_;
  bool table_replaced_ = false;
};

}  // namespace

exit_status run_extract(const options& chosen, const std::string& archive_path, console& screen) {
  extract_command extraction(chosen);
  return run_archive_command(extraction, chosen, archive_path, screen);
}

}  // namespace darvex
