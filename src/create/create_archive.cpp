#include "create/create_archive.hpp"

#include <memory>

#include "create/original_archive.hpp"
#include "create/read_back.hpp"
#include "platform/file_place.hpp"
#include "platform/file_state.hpp"

namespace darvex {
namespace {

class create_run {
 public:
  create_run(const create_request& request, create_observer& observer) : request_(request), observer_(observer) {}

  maybe_problem run() {
    if (auto failure = open_destination()) return failure;
    if (auto failure = read_sources()) return failure;
    if (auto failure = plan()) return failure;
    platform::temporary_file made;
    if (int err = destination_.create_temporary(made)) return trouble("cannot create", err);
    // Kept from the start: no one whom the archive it replaces keeps out reads it meanwhile.
    if (auto failure = take_permissions(made.handle(), true)) return failure;
    if (auto failure = write(made)) return failure;
    if (request_.stopped()) return std::nullopt;
    if (auto failure = take_final_permissions(made)) return failure;
    original_.reset();  // closed before its name may be given to the new archive
    if (int err = destination_.publish(made, place_->name)) return trouble("cannot create", err);
    in_place_ = true;
    const int unsynced = destination_.sync();
    observer_.archive_in_place();
    if (unsynced != 0) return trouble("in place, but its folder's entry could not be synced", unsynced);
    return std::nullopt;
  }

  bool in_place() const { return in_place_; }

 private:
  maybe_problem read_sources() {
    if (int err = folder_.open(request_.folder))
      return problem{problem_kind::source, request_.folder, "cannot open", err};
    if (request_.like) {
      original_ = std::make_unique<original_archive>();
      if (auto failure = read_original(*request_.like, *original_, request_.names)) return failure;
    } else if (auto failure = read_table_dump(folder_, request_.folder, table_)) {
      return failure;
    }
    return scan_folder(folder_, request_.folder, request_.excludes, request_.names, files_);
  }

  // The folder the new archive goes in, and what it replaces there: a file, whose permissions it
  // takes over; a link or anything else but a file is never replaced.
  maybe_problem open_destination() {
    place_ = platform::place_of_file(request_.created);
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
      if (auto failure = refuse_file(files_, request_.folder, *made_identity_, "the archive being made")) {
        return failure;
      }
    }
    if (original_) {
      if (auto failure = refuse_file(files_, request_.folder, original_->file.identity(), "the archive being read")) {
        return failure;
      }
    }
    index_image start = original_ ? *index_image::parse(original_->index) : table_.value_or(index_image());
    if (auto failure = plan_pack(std::move(start), original_ ? &original_->layout : nullptr, files_,
                                 {request_.excludes, request_.sync, request_.names}, request_.folder, plan_)) {
      return failure;
    }
    if (auto failure = check_pack_limits(plan_, files_, request_.folder, request_.created)) return failure;
    observer_.planned(plan_, files_);
    return std::nullopt;
  }

  // Writes the archive, syncs it to the disk and reads it back.
  maybe_problem write(platform::temporary_file& made) {
    const pack_sources sources{folder_, request_.folder, files_, original_ ? &original_->file : nullptr,
                               original_ ? &original_->index : nullptr};
    const pack_settings settings{request_.level, request_.jobs, request_.stopped};
    written_archive written;
    if (auto failure = write_archive(plan_, sources, settings, made.handle(), request_.created, observer_, written)) {
      return failure;
    }
    if (request_.stopped()) return std::nullopt;
    if (int err = platform::sync_file(made.handle())) return trouble("cannot write", err);
    if (int err = made.complete()) return trouble("cannot write", err);
    platform::file_handle reading;
    if (int err = made.open_for_reading(reading)) return trouble("cannot read back", err);
    return read_back(std::move(reading), request_.created, written, settings.jobs, request_.stopped, request_.names);
  }

  problem trouble(std::string reason, int err = 0) const {
    return {problem_kind::output, request_.created, std::move(reason), err};
  }

  const create_request& request_;
  create_observer& observer_;
  platform::directory folder_;
  std::unique_ptr<original_archive> original_;
  std::optional<index_image> table_;
  std::vector<source_file> files_;
  std::optional<platform::file_place> place_;
  platform::directory destination_;
  std::optional<platform::file_identity> made_identity_;
  std::optional<platform::file_permissions> replaced_;  // of the file the new archive replaces
  pack_plan plan_;
  bool in_place_ = false;
};

}  // namespace

maybe_problem create_archive(const create_request& request, create_observer& observer, bool& in_place) {
  create_run run(request, observer);
  maybe_problem failure = run.run();
  in_place = run.in_place();
  return failure;
}

}  // namespace darvex
