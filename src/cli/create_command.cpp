// -c: an archive made from a folder, written beside its name and renamed onto it only once it
// reads back as written. What goes in is planned from the records to start from (the original's
// with --like, else the folder's table.bin, else none) and the folder's files; the archive layer
// writes it and reads it back; this file says what happens and makes the lines.

#include <memory>
#include <new>

#include "cli/commands.hpp"
#include "cli/json_report.hpp"
#include "cli/output_dir.hpp"
#include "create/original_archive.hpp"
#include "create/pack_plan.hpp"
#include "create/read_back.hpp"
#include "create/write_archive.hpp"
#include "format/deflate.hpp"
#include "platform/process.hpp"

namespace darvex {
namespace {

// What became of a record: "kept", "new" or "added".
const char* fate_word(entry_fate fate) {
  switch (fate) {
    case entry_fate::kept:
      return "kept";
    case entry_fate::packed:
      return "new";
    case entry_fate::added:
      break;
  }
  return "added";
}

// What -c says of its records, and at the end of the archive.
class create_report : public pack_listener {
 public:
  virtual ~create_report() = default;
  virtual void close(const std::string& archive_path) = 0;

 protected:
  void count(const packed_entry& entry) { ++counts_[static_cast<std::size_t>(entry.fate)]; }
  std::size_t counted(entry_fate fate) const { return counts_[static_cast<std::size_t>(fate)]; }
  std::size_t total() const { return counts_[0] + counts_[1] + counts_[2]; }

 private:
  std::size_t counts_[3] = {};  // by fate
};

// A line for each record, "<folder>\<name>  (kept)", in the manner of extraction's lines.
class entry_lines final : public create_report {
 public:
  entry_lines(const std::string& folder_path, console& screen) : folder_path_(folder_path), screen_(screen) {}

  void entry_packed(const packed_entry& entry) override {
    screen_.print_path(folder_path_);
    screen_.print("\\");
    screen_.print_name(entry.name);
    screen_.print(std::string("  (") + fate_word(entry.fate) + ")\n");
    count(entry);
  }

  // "Created new.dat: 5 entries (3 kept, 1 new, 1 added)"
  void close(const std::string& archive_path) override {
    screen_.print("Created ");
    screen_.print_path(archive_path);
    screen_.print(": " + std::to_string(total()) + (total() == 1 ? " entry (" : " entries (") +
                  std::to_string(counted(entry_fate::kept)) + " kept, " + std::to_string(counted(entry_fate::packed)) +
                  " new, " + std::to_string(counted(entry_fate::added)) + " added)\n");
  }

 private:
  const std::string& folder_path_;
  console& screen_;
};

// --json: an object for each record, then one for the archive, as JSON Lines:
//   {"entry":1,"name":"a.txt","size":61,"stored":61,"status":"kept"}
//   {"archive":"new.dat","entries":5,"kept":3,"new":1,"added":1}
class json_lines final : public create_report {
 public:
  explicit json_lines(console& screen) : screen_(screen) {}

  void entry_packed(const packed_entry& entry) override {
    json_object object;
    object.number("entry", entry.position);
    add_stored_name(object, entry.name);
    object.number("size", entry.size).number("stored", entry.stored).text("status", fate_word(entry.fate));
    screen_.print_utf8(object.line());
    count(entry);
  }

  void close(const std::string& archive_path) override {
    json_object summary;
    summary.text("archive", archive_path).number("entries", total());
    summary.number("kept", counted(entry_fate::kept)).number("new", counted(entry_fate::packed));
    summary.number("added", counted(entry_fate::added));
    screen_.print_utf8(summary.line());
  }

 private:
  console& screen_;
};

std::unique_ptr<create_report> report_for(const options& chosen, console& screen) {
  if (chosen.json) return std::make_unique<json_lines>(screen);
  return std::make_unique<entry_lines>(chosen.folder, screen);
}

class create_run {
 public:
  create_run(const options& chosen, console& screen)
      : chosen_(chosen), report_(report_for(chosen, screen)), lines_(*report_) {}

  maybe_problem run() {
    if (auto failure = open_destination()) return failure;
    if (auto failure = read_sources()) return failure;
    if (auto failure = plan()) return failure;
    platform::temporary_file made;
    if (int err = destination_.create_temporary(made)) return trouble("cannot create", err);
    if (auto failure = write(made)) return failure;
    if (platform::interrupted()) return std::nullopt;
    original_.reset();  // closed before its name may be given to the new archive
    if (int err = destination_.publish(made, place_->name)) return trouble("cannot create", err);
    lines_.close(chosen_.created);
    return std::nullopt;
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

  maybe_problem open_destination() {
    place_ = place_of_file(chosen_.created);
    if (!place_) return trouble("names no file (it ends in a separator, '.' or '..')");
    if (int err = destination_.open(place_->folder)) return trouble("cannot open its folder", err);
    platform::standing found;
    if (int err = destination_.look(place_->name, found)) return trouble("cannot create", err);
    if (found.kind == platform::standing_kind::folder) return trouble("is a folder");
    if (found.kind == platform::standing_kind::file) made_identity_ = found.identity;
    destination_.remove_leftovers();
    return std::nullopt;
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
    if (auto failure = plan_pack(std::move(start), original_ ? &original_->layout : nullptr, files_, chosen_.excludes,
                                 chosen_.folder, plan_)) {
      return failure;
    }
    return check_pack_limits(plan_, files_, chosen_.folder, chosen_.created);
  }

  maybe_problem write(platform::temporary_file& made) {
    const pack_sources sources{folder_, chosen_.folder, files_, original_ ? &original_->file : nullptr,
                               original_ ? &original_->index : nullptr};
    const pack_settings settings{static_cast<int>(chosen_.level.value_or(DEFAULT_COMPRESSION_LEVEL)),
                                 jobs_to_use(chosen_), platform::interrupted};
    written_archive written;
    if (auto failure = write_archive(plan_, sources, settings, made.handle(), chosen_.created, lines_, written)) {
      return failure;
    }
    if (platform::interrupted()) return std::nullopt;
    if (int err = made.complete()) return trouble("cannot write", err);
    platform::file_handle reading;
    if (int err = made.open_for_reading(reading)) return trouble("cannot read back", err);
    return read_back(std::move(reading), chosen_.created, written, settings.jobs, platform::interrupted);
  }

  problem trouble(std::string reason, int err = 0) const {
    return {problem_kind::output, chosen_.created, std::move(reason), err};
  }

  const options& chosen_;
  std::unique_ptr<create_report> report_;
  create_report& lines_;
  platform::directory folder_;
  std::unique_ptr<original_archive> original_;
  std::optional<index_image> table_;
  std::vector<source_file> files_;
  std::optional<file_place> place_;
  platform::directory destination_;
  std::optional<platform::file_identity> made_identity_;
  pack_plan plan_;
};

}  // namespace

exit_status run_create(const options& chosen, console& screen) {
  maybe_problem failure;
  try {
    create_run run(chosen, screen);
    failure = run.run();
  } catch (const std::bad_alloc&) {
    failure = problem{problem_kind::output, chosen.created, "out of memory"};
  }
  screen.flush();
  if (!failure) return exit_status::ok;
  if (!platform::interrupted()) screen.report(*failure);
  return status_for(failure->kind);
}

}  // namespace darvex
