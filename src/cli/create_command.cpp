// -c: an archive made from a folder by create_archive (create/create_archive.hpp); this file
// says what happens: a line for each record, a closing line, a progress line at a terminal.

#include <algorithm>
#include <memory>
#include <new>
#include <optional>

#include "cli/commands.hpp"
#include "cli/create_report.hpp"
#include "cli/run_progress.hpp"
#include "create/create_archive.hpp"
#include "format/deflate.hpp"
#include "platform/process.hpp"

namespace darvex {
namespace {

// Each record told to the report and, at a terminal, to the progress line, by the work it took:
// the bytes of its file, or of what its stored stream inflates to.
class progress_relay final : public pack_listener {
 public:
  progress_relay(const pack_plan& plan, const std::vector<source_file>& files, pack_listener& report)
      : report_(report), weights_(plan.index.records().size()) {
    for (const pack_piece& piece : plan.pieces) {
      if (piece.record) weights_[*piece.record] = piece.file ? files[*piece.file].size : piece.room;
    }
  }

  progress_counts total(const pack_plan& plan) const {
    progress_counts total{static_cast<std::uint32_t>(weights_.size() + plan.dropped.size()), 0};
    for (const std::uint64_t weight : weights_) total.bytes += weight;
    return total;
  }

  void show_on(run_progress& progress) { progress_ = &progress; }

  void entry_packed(const packed_entry& entry) override {
    report_.entry_packed(entry);
    if (progress_ == nullptr) return;
    const std::uint64_t weight = entry.position == 0 ? 0 : weights_[entry.position - 1];
    progress_->item_done(weight, entry.fate == entry_fate::kept_damaged ? item_result::failed : item_result::written);
  }

 private:
  pack_listener& report_;
  std::vector<std::uint64_t> weights_;  // by record
  run_progress* progress_ = nullptr;
};

// The run's lines and, at a terminal, its progress line: create_archive's observer.
class create_run final : public create_observer {
 public:
  create_run(const options& chosen, console& screen)
      : chosen_(chosen), screen_(screen), report_(create_report_for(chosen, screen)) {}

  maybe_problem run() {
    const create_request request{
        chosen_.created,      chosen_.folder,
        chosen_.like,         chosen_.excludes,
        chosen_.sync,         static_cast<int>(chosen_.level.value_or(DEFAULT_COMPRESSION_LEVEL)),
        jobs_to_use(chosen_), platform::interrupted,
        chosen_.names};
    return create_archive(request, *this, in_place_);
  }

  bool in_place() const { return in_place_; }
  exit_status status() const { return report_->status(); }
  // Takes the progress line away without a summary: the run stopped short.
  void stop_progress() {
    if (progress_) progress_->finish(false);
  }

  void planned(const pack_plan& plan, const std::vector<source_file>& files) override {
    warn_of_names_as_text_bytes(plan, files);
    relay_.emplace(plan, files, *report_);
    if (!chosen_.quiet && screen_.err_is_terminal()) {
      progress_.emplace(screen_, relay_->total(plan), terminal_report{true, "packed"});
      relay_->show_on(*progress_);
    }
  }
  void entry_packed(const packed_entry& entry) override { relay_->entry_packed(entry); }
  void archive_in_place() override {
    report_->close(chosen_.created);
    if (progress_) progress_->finish();
  }

 private:
  // A new record whose name goes in as the bytes of its file's name (POSIX, without --codepage)
  // is read by Windows, and the games, in their ANSI code page: said once, of the first that is
  // not ASCII, where those bytes can differ.
  void warn_of_names_as_text_bytes(const pack_plan& plan, const std::vector<source_file>& files) const {
    if (!chosen_.names.stores_text_bytes()) return;
    for (const pack_piece& piece : plan.pieces) {
      if (!piece.added || !piece.file) continue;
      const source_file& file = files[*piece.file];
      const auto not_ascii = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
      if (std::none_of(file.stored_name.begin(), file.stored_name.end(), not_ascii)) continue;
      screen_.report_path(shown_path(chosen_.folder, file.path),
                          "stored as UTF-8 bytes; Windows reads names in its code page: see --codepage");
      return;
    }
  }

  const options& chosen_;
  console& screen_;
  std::unique_ptr<create_report> report_;
  std::optional<run_progress> progress_;
  std::optional<progress_relay> relay_;
  bool in_place_ = false;
};

}  // namespace

exit_status run_create(const options& chosen, console& screen, bool& in_place) {
  maybe_problem failure;
  exit_status status = exit_status::ok;
  // The entries' messages count them in the new archive.
  screen.name_entries_archive(chosen.created);
  try {
    create_run run(chosen, screen);
    failure = run.run();
    in_place = run.in_place();
    if (!in_place) run.stop_progress();
    status = run.status();
  } catch (const std::bad_alloc&) {
    failure = problem{problem_kind::output, chosen.created, "out of memory"};
  }
  screen.flush();
  if (!failure) return status;
  if (in_place) {
    // The archive is made; only what followed failed.
    screen.report(*failure);
    return worst(status, exit_status::incomplete);
  }
  if (!platform::interrupted()) screen.report(*failure);
  return status_for(failure->kind);
}

}  // namespace darvex
