#include "extract/directory_writer.hpp"

#include <cerrno>

#include "extract/folder_walker.hpp"
#include "platform/folders.hpp"
#include "platform/traits.hpp"

namespace darvex {
namespace {

using platform::standing_kind;

problem unwritten(std::string reason, int err = 0) {
  return {problem_kind::unwritten_entry, {}, std::move(reason), err};
}

// Whether `err` says the system ran short of something that entries in flight beside this one
// may hold: memory, descriptors, space, quota, or room under the file-size limit.
bool is_shortage(int err) {
  switch (err) {
    case ENOMEM:
    case EMFILE:
    case ENFILE:
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return true;
    default:
      return false;
  }
}

// An entry's failure to reach or make its folder or file: a shortage is worth another try alone.
entry_outcome failed(std::string reason, int err) {
  return {unwritten(std::move(reason), err), false, is_shortage(err)};
}

entry_outcome walk_failure(int err) {
  if (err == ELOOP) return {unwritten("cannot extract through a symbolic link")};
  return failed("cannot create", err);
}

// Writes `length` bytes as the file `name` in `folder`: in a private folder as a new file
// (nobody else writes there, and a killed run's folder is never published), else, or when
// something stands at the name already, under a temporary name renamed onto `name` when whole.
entry_outcome write_whole(const platform::directory& folder, const std::string& name, const unsigned char* data,
                          std::size_t length, bool private_folder) {
  if (private_folder) {
    bool created = false;
    const int err = folder.write_new_file(name, data, length, created);
    if (err == 0) return {};
    if (err != EEXIST) return failed(created ? "cannot write" : "cannot create", err);
  }
  platform::temporary_file file;
  if (int err = folder.create_temporary(file)) return failed("cannot create", err);
  if (int err = platform::write_all(file.handle(), data, length)) return failed("cannot write", err);
  if (int err = file.complete()) return failed("cannot write", err);
  if (int err = folder.publish(file, name)) return failed("cannot create", err);
  return {};
}

// One worker's writer: its entries' folders are held open from one entry to the next.
class folder_writer final : public entry_writer {
 public:
  folder_writer(const directory_writer& directory, existing_files policy, std::size_t most_held)
      : directory_(directory), policy_(policy), walker_(directory.root(), !directory.is_private(), most_held) {}

  std::optional<entry_outcome> before_reading(const planned_entry& entry, bool earlier_kept) override {
    const bool keep = policy_ == existing_files::keep;
    if (entry.path.parts.empty() || (!keep && !directory_.may_be_archive(entry.path.parts.back()))) return std::nullopt;
    if (keep && entry.same_file_as) return kept_if(earlier_kept);
    using dump = directory_writer::table_dump;
    if (keep && entry.names_table && directory_.table() != dump::not_written)
      return kept_if(directory_.table() == dump::kept);
    platform::standing found;
    int err = 0;
    const platform::directory* folder = walker_.folder(entry.path, entry.path.parts.size() - 1, false, err);
    if (folder == nullptr || folder->look(entry.path.parts.back(), found) != 0) return std::nullopt;
    if (keep && found.kind != standing_kind::nothing) return kept_unless_in_the_way(entry, found.kind);
    if (found.kind == standing_kind::file && found.identity == directory_.archive_identity()) {
      return entry_outcome{problem{problem_kind::refused_entry, {}, "would replace the archive being read"}};
    }
    return std::nullopt;
  }

  entry_outcome take(const planned_entry& entry, const unsigned char* data, std::size_t length) override {
    entry_outcome outcome = write(entry, data, length);
    const int err = outcome.failure ? outcome.failure->err : 0;
    if (err != EMFILE && err != ENFILE) return outcome;
    // The folders held open may be what took the last descriptors: let them go and try again.
    walker_.release();
    return write(entry, data, length);
  }

 private:
  entry_outcome write(const planned_entry& entry, const unsigned char* data, std::size_t length) {
    const entry_path& path = entry.path;
    if (path.parts.empty()) return {};  // a folder entry for the output directory itself
    const std::size_t folders = path.folder ? path.parts.size() : path.parts.size() - 1;
    int err = 0;
    const platform::directory* folder = walker_.folder(path, folders, true, err);
    if (folder == nullptr) return walk_failure(err);
    if (path.folder) return {};
    return write_whole(*folder, path.parts.back(), data, length, directory_.is_private());
  }

  // With existing files kept: what stands at the entry's name is left alone, unless it is a
  // folder where the entry is a file, or a file where it is a folder; then the entry fails as
  // it would fail when replacing, rather than being called kept while its data goes nowhere.
  static std::optional<entry_outcome> kept_unless_in_the_way(const planned_entry& entry, standing_kind found) {
    if (!entry.path.folder && found == standing_kind::folder) return failed("cannot create", EISDIR);
    if (entry.path.folder && found == standing_kind::file) return walk_failure(ENOTDIR);
    return kept_if(true);
  }

  static std::optional<entry_outcome> kept_if(bool kept) {
    if (!kept) return std::nullopt;
    entry_outcome outcome;
    outcome.kept_existing = true;
    return outcome;
  }

  const directory_writer& directory_;
  existing_files policy_;
  folder_walker walker_;
};

}  // namespace

maybe_problem directory_writer::open(const std::string& path, bool with_parents, const archive_file& archive) {
  path_ = path;
  bool staged = false;
  if (!platform::path_exists(path)) {
    if (const std::optional<platform::file_place> place = platform::place_of_file(path)) {
      const int made = with_parents ? platform::make_directories(place->folder) : 0;
      if (made != 0) return problem{problem_kind::output, path, "cannot create directory", made};
      if (auto failure = stage(*place, staged)) return failure;
    }
  }
  if (staged) return std::nullopt;  // new: neither the archive nor any leftover can be in it
  const int made = with_parents ? platform::make_directories(path) : platform::make_directory(path);
  if (made != 0) return problem{problem_kind::output, path, "cannot create directory", made};
  if (int err = root_.open(path)) return problem{problem_kind::output, path, "cannot enter directory", err};
  platform::file_identity folder;
  if (root_.identity(folder) == 0 && folder.device == archive.identity().device) archive_identity_ = archive.identity();
  if (archive.named_only_by_path()) {
    const std::size_t separator = archive.path().find_last_of(platform::PATH_SEPARATORS);
    archive_name_ = separator == std::string::npos ? archive.path() : archive.path().substr(separator + 1);
  }
  root_.remove_leftovers();
  return std::nullopt;
}

maybe_problem directory_writer::stage(const platform::file_place& place, bool& staged) {
  if (int err = root_.open(place.folder)) return problem{problem_kind::output, path_, "cannot create directory", err};
  root_.remove_leftovers();  // what runs killed while filling a directory here left
  const int err = root_.create_temporary_folder(staged_);
  if (err == ENOSYS) {
    root_ = platform::directory();
    return std::nullopt;
  }
  if (err != 0) return problem{problem_kind::output, path_, "cannot create directory", err};
  staged_name_ = place.name;
  staged = true;
  return std::nullopt;
}

maybe_problem directory_writer::finish() {
  if (!staged_.is_open()) {
    root_ = platform::directory();
    return std::nullopt;
  }
  const int err = root_.publish(staged_, staged_name_);
  root_ = platform::directory();
  if (err == 0) return std::nullopt;
  // Something was made at its name meanwhile: the run's files stay under the temporary name
  // only until the temporary folder goes, so say what happened.
  return problem{problem_kind::output, path_, "cannot create directory", err};
}

maybe_problem directory_writer::write_table(const loaded_index& index, existing_files policy) {
  const auto trouble = [](std::string reason, int err = 0) {
    return problem{problem_kind::output, TABLE_NAME, std::move(reason), err};
  };
  platform::standing found;
  if (int err = root().look(TABLE_NAME, found)) return trouble("cannot create", err);
  if (policy == existing_files::keep && found.kind != standing_kind::nothing) {
    table_ = table_dump::kept;
    return std::nullopt;
  }
  if (found.kind == standing_kind::file && found.identity == archive_identity_) {
    return trouble("would replace the archive being read");
  }
  const entry_outcome written = write_whole(root(), TABLE_NAME, index.bytes.get(), INDEX_BUFFER_SIZE, is_private());
  if (written.failure) return trouble(written.failure->reason, written.failure->err);
  table_ = table_dump::written;
  return std::nullopt;
}

bool directory_writer::may_be_archive(std::string_view part) const {
  return archive_identity_ && (!archive_name_ || platform::may_be_one_name(part, *archive_name_));
}

std::unique_ptr<entry_writer> directory_sink::writer() {
  return std::make_unique<folder_writer>(directory_, policy_, folders_held_per_writer(jobs_));
}

}  // namespace darvex
