#include "cli/dropped_folder.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>
#include <optional>

#include "cli/commands.hpp"
#include "cli/front_end.hpp"
#include "cli/output_dir.hpp"
#include "platform/platform.hpp"
#include "platform/process.hpp"
#include "platform/traits.hpp"

namespace darvex {
namespace {

constexpr std::string_view BACKUP_SUFFIX = ".bak";
constexpr std::size_t COPY_PIECE = std::size_t{1} << 20;

// A folder as given, and where it lies.
struct folder_spot {
  std::string path;    // as given, less any separators at its end
  std::string prefix;  // the path up to its last part, as given: "C:\games\" or ""
  file_place place;    // the folder that holds it, and its name there
};

std::optional<folder_spot> spot_of(std::string_view given) {
  while (given.size() > 1 && platform::PATH_SEPARATORS.find(given.back()) != std::string_view::npos) {
    given.remove_suffix(1);
  }
  std::optional<file_place> place = place_of_file(given);
  if (!place) return std::nullopt;
  std::string prefix(given.substr(0, given.size() - place->name.size()));
  return folder_spot{std::string(given), std::move(prefix), std::move(*place)};
}

// The name `name` as this system compares file names.
std::string compared(std::string_view name) { return platform::case_folded(name); }

// The regular files in `folder`.
int files_in(const platform::directory& folder, std::vector<std::string>& files) {
  std::vector<platform::directory::listed> listed;
  if (int err = folder.list(listed)) return err;
  for (const platform::directory::listed& name : listed) {
    if (name.found.kind == platform::standing_kind::file) files.push_back(name.name);
  }
  return 0;
}

// The choice for the folder at `spot`, from the files beside it.
int choice_for(const folder_spot& spot, const platform::directory& beside, archive_choice& choice) {
  std::vector<std::string> files;
  if (int err = files_in(beside, files)) return err;
  choice = choose_archive(spot.place.name, files);
  return 0;
}

// `path` as a shell or cmd takes it back: in double quotes unless it holds only characters that
// neither treats specially.
std::string quoted(const std::string& path) {
  const bool plain = !path.empty() && std::all_of(path.begin(), path.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || std::isalnum(byte) || std::string_view("._-/\\:+,=@").find(c) != std::string_view::npos;
  });
  return plain ? path : '"' + path + '"';
}

// Copies the file `name` in `folder` into `copy`, a temporary file there. 0, or an errno value.
int copy_file(const platform::directory& folder, const std::string& name, platform::temporary_file& copy) {
  platform::file_handle original;
  platform::file_type type = platform::file_type::other;
  if (int err = folder.open_file(name, original, type)) return err;
  if (type != platform::file_type::regular) return EINVAL;
  if (int err = folder.create_temporary(copy)) return err;
  const std::unique_ptr<char[]> piece(new char[COPY_PIECE]);
  std::uint64_t offset = 0;
  for (std::size_t got = COPY_PIECE; got == COPY_PIECE; offset += got) {
    if (platform::interrupted()) return EINTR;
    if (int err = platform::read_at(original, offset, piece.get(), COPY_PIECE, got)) return err;
    if (int err = platform::write_all(copy.handle(), piece.get(), got)) return err;
  }
  return copy.complete();
}

// The archive as it was, kept as NAME.bak once the repack has replaced it: copied beside it
// before the repack, so that the archive is never without a whole copy of itself; published
// only after, and only where no backup stands.
class archive_backup {
 public:
  archive_backup(const platform::directory& folder, std::string name)
      : folder_(folder), name_(std::move(name)), backup_name_(name_ + std::string(BACKUP_SUFFIX)) {}

  const std::string& backup_name() const { return backup_name_; }

  // Copies the archive, unless a backup is there already. 0, or an errno value.
  int prepare() {
    if (backup_exists()) return 0;
    const int err = copy_file(folder_, name_, copy_);
    copied_ = err == 0;
    return err;
  }

  // Publishes the copy as the backup, unless one appeared meanwhile. 0, or an errno value.
  int keep() {
    if (!copied_ || backup_exists()) return 0;
    return folder_.publish(copy_, backup_name_);
  }

 private:
  bool backup_exists() const {
    platform::standing found;
    return folder_.look(backup_name_, found) != 0 || found.kind != platform::standing_kind::nothing;
  }

  const platform::directory& folder_;
  std::string name_;
  std::string backup_name_;
  platform::temporary_file copy_;
  bool copied_ = false;
};

exit_status repack_with_backup(const folder_spot& spot, const platform::directory& beside, const std::string& name,
                               console& screen, bool& in_place, const create_runner& create) {
  options chosen;
  chosen.what = command::create;
  chosen.folder = spot.path;
  chosen.created = spot.prefix + name;
  chosen.like = chosen.created;
  archive_backup backup(beside, name);
  if (int err = backup.prepare()) {
    screen.report_path(spot.prefix + backup.backup_name(), "cannot create", err);
    return status_for(problem_kind::output);
  }
  // The archive it replaced is kept whenever the new one took its name, whatever came after.
  const exit_status status = create(chosen, screen, in_place);
  if (!in_place) return status;
  if (int err = backup.keep()) {
    screen.report_path(spot.prefix + backup.backup_name(), "cannot create", err);
    return status_for(problem_kind::output);
  }
  return status;
}

std::string names_listed(const std::vector<std::string>& names) {
  std::string listed;
  for (const std::string& name : names) listed += (listed.empty() ? "" : ", ") + name;
  return listed;
}

}  // namespace

archive_choice choose_archive(std::string_view folder_name, const std::vector<std::string>& files) {
  archive_choice choice;
  choice.fallback = std::string(folder_name) + ".dat";
  const std::string wanted = compared(folder_name);
  for (const std::string& file : files) {
    const std::optional<std::string> extracted_into = derive_output_dir(file);
    if (extracted_into && compared(*extracted_into) == wanted) choice.archives.push_back(file);
  }
  std::sort(choice.archives.begin(), choice.archives.end());
  return choice;
}

bool is_folder(const std::string& path) {
  platform::directory folder;
  return folder.open(path) == 0;
}

exit_status pack_dropped_folder(const std::string& folder_path, console& screen, bool& in_place,
                                const create_runner& create) {
  in_place = false;
  const std::optional<folder_spot> spot = spot_of(folder_path);
  if (!spot) {
    screen.report_path(folder_path, "names no folder that an archive could lie beside");
    return exit_status::stopped;
  }
  platform::directory beside;
  archive_choice choice;
  int err = beside.open(spot->place.folder);
  if (err == 0) err = choice_for(*spot, beside, choice);
  if (err != 0) {
    screen.report_path(folder_path, "cannot read the folder that holds it", err);
    return exit_status::stopped;
  }
  if (choice.archives.size() > 1) {
    screen.report_path(folder_path, "more than one archive beside it could be its own (" +
                                        names_listed(choice.archives) + "): nothing written");
    return exit_status::stopped;
  }
  if (choice.archives.size() == 1) {
    return repack_with_backup(*spot, beside, choice.archives.front(), screen, in_place, create);
  }
  options chosen;
  chosen.what = command::create;
  chosen.folder = spot->path;
  chosen.created = spot->prefix + choice.fallback;
  return create(chosen, screen, in_place);
}

int run_from_own_console(const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-' || !is_folder(args[0])) return run_front_end(args);
  console screen;
  bool in_place = false;
  const exit_status status = pack_dropped_folder(args[0], screen, in_place);
  screen.flush();
  // As from a console: an interrupt once the archive is in place cut nothing short.
  if (const int signal_number = platform::interrupting_signal(); signal_number != 0 && !in_place) {
    screen.report_plain("interrupted");
    return INTERRUPTED_STATUS_BASE + signal_number;
  }
  return static_cast<int>(status);
}

std::string packing_command(const std::string& folder_path) {
  const std::optional<folder_spot> spot = spot_of(folder_path);
  if (!spot) return "DarvEx -c ARCHIVE " + quoted(folder_path);
  archive_choice choice = choose_archive(spot->place.name, {});
  platform::directory beside;
  if (beside.open(spot->place.folder) == 0) choice_for(*spot, beside, choice);  // else as if none lay there
  if (choice.archives.empty()) return "DarvEx -c " + quoted(spot->prefix + choice.fallback) + " " + quoted(spot->path);
  const std::string archive = quoted(spot->prefix + choice.archives.front());
  return "DarvEx -c " + archive + " --like " + archive + " " + quoted(spot->path);
}

problem with_packing_command(problem failure) {
  if (failure.kind != problem_kind::archive || failure.err != EISDIR) return failure;
  failure.reason +=
      ": " + platform::error_text(EISDIR) + " (to pack the folder: " + packing_command(failure.path) + ")";
  failure.err = 0;
  return failure;
}

}  // namespace darvex
