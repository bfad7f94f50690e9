#include "cli/json_report.hpp"

#include "cli/json_line.hpp"
#include "format/utf8.hpp"

namespace darvex {

void add_stored_name(json_object& object, const std::string& stored, const name_encoding& names) {
  const std::optional<std::string> text = names.text_of(stored);
  object.text("name", text.value_or(stored));
  const bool bytes_told = names.chosen() ? text == stored : text && is_utf8(*text);
  if (!bytes_told) object.text("name_bytes", hex_bytes(stored));
}

namespace {

const char* status_word(const entry_outcome& outcome) {
  if (!outcome.failure) return "ok";
  switch (outcome.failure->kind) {
    case problem_kind::refused_entry:
      return "refused";
    case problem_kind::unwritten_entry:
      return "unwritten";
    default:
      return "damaged";
  }
}

// The command's steps, its lines made JSON Lines.
class json_report final : public archive_command {
 public:
  json_report(archive_command& command, const std::string& archive_path)
      : command_(command), archive_path_(archive_path) {}

  maybe_problem before_index(const archive_file& archive) override { return command_.before_index(archive); }
  maybe_problem index_loaded(const loaded_index& index) override { return command_.index_loaded(index); }
  void stopped() override { command_.stopped(); }
  entry_sink* sink() override { return command_.sink(); }
  terminal_report at_terminal(const console& screen) const override { return command_.at_terminal(screen); }

  void begin(console&) override {}

  void show(const planned_entry& entry, const entry_outcome& outcome, console& screen) override {
    json_object object;
    object.number("entry", entry.position);
    add_stored_name(object, entry.name, screen.names());
    object.number("size", entry.size).number("offset", entry.start);
    if (entry.span_known()) {
      object.number("span", entry.span_length());
    } else {
      object.null("span");
    }
    object.text("status", status_word(outcome));
    if (outcome.failure) object.text("reason", full_reason(*outcome.failure));
    screen.print_utf8(object.line());
    total_size_ += entry.size;
    total_span_ += entry.span_length();
  }

  void end(const entry_tally& tally, console& screen) override {
    json_object summary;
    summary.text("archive", archive_path_).number("entries", tally.entries).number("size", total_size_);
    summary.number("span", total_span_).number("failed", tally.failures);
    screen.print_utf8(summary.line());
  }

 private:
  archive_command& command_;
  const std::string& archive_path_;
  std::uint64_t total_size_ = 0;
  std::uint64_t total_span_ = 0;
};

}  // namespace

exit_status run_with_chosen_report(archive_command& command, const options& chosen, const std::string& archive_path,
                                   console& screen) {
  if (!chosen.json) return run_archive_command(command, chosen, archive_path, screen);
  json_report report(command, archive_path);
  return run_archive_command(report, chosen, archive_path, screen);
}

}  // namespace darvex
