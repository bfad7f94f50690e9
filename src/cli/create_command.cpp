// -c: an archive made from a folder, written beside its name and renamed onto it only once it
// reads back as written and is on the disk. What goes in is planned from the records to start
// from (the original's with --like, else the folder's table.bin, else none) and the folder's
// files; the archive layer writes it and reads it back; this file says what happens.

#include <memory>
#include <new>
#include <optional>

#include "cli/commands.hpp"
#include "cli/create_report.hpp"
#include "cli/output_dir.hpp"
#include "cli/run_progress.hpp"
#include "create/original_archive.hpp"
#include "create/pack_plan.hpp"
#include "create/read_back.hpp"
#include "create/write_archive.hpp"
#include "format/deflate.hpp"
#include "platform/file_state.hpp"
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

class create_run {
 public:
  create_run(const options& chosen, console& screen)
      : chosen_(chosen), screen_(screen), report_(create_report_for(chosen, screen)) {}

  maybe_problem run() {
    if (auto failure = open_destination()) return failure;
    if (auto failure = read_sources()) return failure;
    if (auto failure = plan()) return failure;
    platform::temporary_file made;
    if (int err = destination_.create_temporary(made)) return trouble("cannot create", err);
    // Kept from the start: no one whom the archive it replaces keeps out reads it meanwhile.
    if (auto failure = take_permissions(made.handle(), true)) return failure;
    if (auto failure = write(made)) return failure;
    if (platform::interrupted()) return std::nullopt;
    if (auto failure = take_final_permissions(made)) return failure;
    original_.reset();  // closed before its name may be given to the new archive
    if (int err = destination_.publish(made, place_->name)) return trouble("cannot create", err);
    in_place_ = true;
    const int unsynced = destination_.sync();
    report_->close(chosen_.created);
    if (progress_) progress_->finish();
    if (unsynced != 0) return trouble("in place, but its folder's entry could not be synced", unsynced);
    return std::nullopt;
  }

  bool in_place() const { return in_place_; }
  exit_status status() const { return report_->status(); }
  // Takes the progress line away without a summary: the run stopped short.
  void stop_progress() {
    if (progress_) progress_->finish(false);
  }

 private:
  maybe_problem read_sources() {
    if (int err = folder_.open(chosen_.folder))
      return problem{problem_kind::source, chosen_.folder, "cannot open", err};
    if (chosen_.like) {
      original_ = std::make_unique<original_archive>();
      if (auto failure = read_original(*chosen_.like, *original_)) return failure;
    } else if (auto failure = read_table_dump(folder_, chosen_.folder, table_)) {
      return failure;
    }
    return scan_folder(folder_, chosen_.folder, chosen_.excludes, files_);
  }

  // The folder the new archive goes in, and what it replaces there: a file, whose permissions it
  // takes over; a link or anything else but a file is never replaced.
  maybe_problem open_destination() {
    place_ = place_of_file(chosen_.created);
    if (!place_) return trouble("names no file (it ends in a separator, '.' or '..')");
    if (int err = destination_.open(place_->folder)) return trouble("cannot open its folder", err);
    platform::standing found;
    if (int err = destination_.look(place_->name, found)) return trouble("cannot create", err);
    if (found.kind == platform::standing_kind::folder) return trouble("is a folder");
    if (found.kind == platform::standing_kind::other) {
      return trouble("is a symbolic link, FIFO or device, which -c never replaces: name the file itself");
    }
    if (found.kind == platform::standing_kind::file) {
      made_identity_ = found.identity;
      if (auto failure = read_permissions()) return failure;
    }
    destination_.remove_leftovers();
    return std::nullopt;
  }

  maybe_problem read_permissions() {
    platform::file_handle file;
    platform::file_type type = platform::file_type::other;
    platform::file_permissions permissions;
    int err = destination_.open_file(place_->name, file, type);
    if (err == 0) err = platform::permissions_of(file, permissions);
    if (err != 0) return trouble("cannot read its permissions", err);
    replaced_ = permissions;
    return std::nullopt;
  }

  // Gives the new archive the permissions of the one it replaces, if it replaces one.
  maybe_problem take_permissions(const platform::file_handle& made, bool being_written) const {
    if (!replaced_) return std::nullopt;
    if (int err = platform::give_permissions(made, *replaced_, being_written)) {
      return trouble("cannot give it the permissions of the archive it replaces", err);
    }
    return std::nullopt;
  }

  // The same once it is whole, through a handle of its own that is closed again before the rename.
  maybe_problem take_final_permissions(const platform::temporary_file& made) const {
    if (!replaced_) return std::nullopt;
    platform::file_handle whole;
    if (int err = made.open_for_reading(whole)) return trouble("cannot read back", err);
    return take_permissions(whole, false);
  }

  maybe_problem plan() {
    if (made_identity_) {
      if (auto failure = refuse_file(files_, chosen_.folder, *made_identity_, "the archive being made")) return failure;
    }
    if (original_) {
      if (auto failure = refuse_file(files_, chosen_.folder, original_->file.identity(), "the archive being read")) {
        return failure;
      }
    }
    index_image start = original_ ? *index_image::parse(original_->index) : table_.value_or(index_image());
    if (auto failure = plan_pack(std::move(start), original_ ? &original_->layout : nullptr, files_,
                                 {chosen_.excludes, chosen_.sync}, chosen_.folder, plan_)) {
      return failure;
    }
    return check_pack_limits(plan_, files_, chosen_.folder, chosen_.created);
  }

  // Writes the archive, syncs it to the disk and reads it back.
  maybe_problem write(platform::temporary_file& made) {
    const pack_sources sources{folder_, chosen_.folder, files_, original_ ? &original_->file : nullptr,
                               original_ ? &original_->index : nullptr};
    const pack_settings settings{static_cast<int>(chosen_.level.value_or(DEFAULT_COMPRESSION_LEVEL)),
                                 jobs_to_use(chosen_), platform::interrupted};
    progress_relay relay(plan_, files_, *report_);
    if (!chosen_.quiet && screen_.err_is_terminal()) {
      progress_.emplace(screen_, relay.total(plan_), terminal_report{true, "packed"});
      relay.show_on(*progress_);
    }
    written_archive written;
    if (auto failure = write_archive(plan_, sources, settings, made.handle(), chosen_.created, relay, written)) {
      return failure;
    }
    if (platform::interrupted()) return std::nullopt;
    if (int err = platform::sync_file(made.handle())) return trouble("cannot write", err);
    if (int err = made.complete()) return trouble("cannot write", err);
    platform::file_handle reading;
    if (int err = made.open_for_reading(reading)) return trouble("cannot read back", err);
    return read_back(std::move(reading), chosen_.created, written, settings.jobs, platform::interrupted);
  }

  problem trouble(std::string reason, int err = 0) const {
    return {problem_kind::output, chosen_.created, std::move(reason), err};
  }

  const options& chosen_;
  console& screen_;
  std::unique_ptr<create_report> report_;
  std::optional<run_progress> progress_;
  platform::directory folder_;
  std::unique_ptr<original_archive> original_;
  std::optional<index_image> table_;
  std::vector<source_file> files_;
  std::optional<file_place> place_;
  platform::directory destination_;
  std::optional<platform::file_identity> made_identity_;
  std::optional<platform::file_permissions> replaced_;  // of the file the new archive replaces
  pack_plan plan_;
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
