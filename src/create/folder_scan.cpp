#include "create/folder_scan.hpp"

#include <algorithm>
#include <cerrno>
#include <span>

#include "format/archive.hpp"
#include "platform/traits.hpp"
#include "select/name_glob.hpp"

namespace darvex {
namespace {

constexpr char STORED_SEPARATOR = '\\';  // as the archives store folder names

problem trouble(const std::string& root_path, const entry_path& path, std::string reason, int err = 0) {
  return {problem_kind::source, shown_path(root_path, path), std::move(reason), err};
}

std::string stored_text(const entry_path& path) {
  std::string text;
  for (const std::string& part : path.parts) text += (text.empty() ? "" : std::string(1, STORED_SEPARATOR)) + part;
  return text;
}

// Why the file at `path` cannot be an entry of its own name, or nothing. `not_stored` says why a
// name without stored bytes has none.
std::optional<std::string> name_trouble(const entry_path& path, const std::string& text,
                                        const std::optional<std::string>& stored, const std::string& not_stored) {
  if (!stored) return not_stored;
  if (stored->size() > MAX_NAME_LENGTH) return "name longer than the 255 bytes an archive stores";
  if (unsafe_name_reason(text.c_str()) != nullptr || path_of_entry(text).parts != path.parts) {
    return "name would not extract to this file (a '\\' in it, or a name extraction refuses)";
  }
  return std::nullopt;
}

class folder_scanner {
 public:
  folder_scanner(const std::string& root_path, const std::vector<std::string>& excludes, const name_encoding& names,
                 std::vector<source_file>& files)
      : root_path_(root_path), excludes_(excludes), names_(names), files_(files) {}

  maybe_problem scan(const platform::directory& folder, entry_path& path) {
    std::vector<platform::directory::listed> names;
    if (int err = folder.list(names)) return trouble(root_path_, path, "cannot list", err);
    for (const auto& listed : names) {
      path.parts.push_back(listed.name);
      maybe_problem failure = visit(folder, listed.found, path);
      path.parts.pop_back();
      if (failure) return failure;
    }
    return std::nullopt;
  }

 private:
  maybe_problem visit(const platform::directory& folder, const platform::standing& found, entry_path& path) {
    using platform::standing_kind;
    if (found.kind == standing_kind::folder) {
      platform::directory inner;
      if (int err = folder.open_folder(path.parts.back(), false, inner)) {
        // A link that its folder's listing shows as a folder (Wine lists one to a folder so) is
        // left out as any other link is.
        if (err == ELOOP && excluded(path)) return std::nullopt;
        return refused(path, err);
      }
      return scan(inner, path);
    }
    if (excluded(path)) return std::nullopt;
    const std::string text = stored_text(path);
    if (found.kind != standing_kind::file) return refused(path, EINVAL);
    source_file file;
    file.path = path;
    file.key = file_key(path);
    std::string not_stored;
    const std::optional<std::string> stored = names_.stored_of(text, &not_stored);
    if (auto reason = name_trouble(path, text, stored, not_stored)) return trouble(root_path_, path, *reason);
    file.stored_name = *stored;
    file.stamp = found.stamp;
    file.size = found.stamp.size;
    file.identity = found.identity;
    files_.push_back(std::move(file));
    return std::nullopt;
  }

  bool excluded(const entry_path& path) const { return excludes_.any_takes(platform::case_folded(stored_text(path))); }

  problem refused(const entry_path& path, int err) const {
    if (err == ELOOP || err == EINVAL) return trouble(root_path_, path, NEVER_FOLLOWED);
    return trouble(root_path_, path, "cannot open", err);
  }

  const std::string& root_path_;
  const folded_patterns excludes_;
  const name_encoding& names_;
  std::vector<source_file>& files_;
};

// Opens the regular file `part` of `folder`: 0, or an errno value (EINVAL for anything else).
int open_in(const platform::directory& folder, const std::string& part, platform::file_handle& file,
            platform::standing& opened) {
  platform::file_type type = platform::file_type::other;
  if (int err = folder.open_file(part, file, type, &opened)) return err;
  return type == platform::file_type::regular ? 0 : EINVAL;
}

}  // namespace

std::string file_key(const entry_path& path) { return platform::case_folded(joined(path)); }

std::string shown_path(const std::string& root_path, const entry_path& path) {
  std::string inside = joined(path);
  if (inside.empty()) return root_path;
  std::replace(inside.begin(), inside.end(), '/', platform::PREFERRED_SEPARATOR);
  const bool ends_in_separator =
      !root_path.empty() && platform::PATH_SEPARATORS.find(root_path.back()) != std::string_view::npos;
  return root_path + (root_path.empty() || ends_in_separator ? "" : std::string(1, platform::PREFERRED_SEPARATOR)) +
         inside;
}

maybe_problem scan_folder(const platform::directory& root, const std::string& root_path,
                          const std::vector<std::string>& excludes, const name_encoding& names,
                          std::vector<source_file>& files) {
  files.clear();
  entry_path path;
  folder_scanner scanner(root_path, excludes, names, files);
  if (auto failure = scanner.scan(root, path)) return failure;
  std::sort(files.begin(), files.end(),
            [](const source_file& a, const source_file& b) { return a.path.parts < b.path.parts; });
  return std::nullopt;
}

maybe_problem refuse_file(const std::vector<source_file>& files, const std::string& root_path,
                          const platform::file_identity& identity, const char* what) {
  for (const source_file& file : files) {
    if (file.identity != identity) continue;
    return trouble(root_path, file.path,
                   std::string("is ") + what + ": it cannot go into itself (leave it out with -x)");
  }
  return std::nullopt;
}

int source_opener::open(const entry_path& path, platform::file_handle& file, platform::standing& opened) {
  if (path.parts.empty()) return EINVAL;
  const std::span<const std::string> folder_parts(path.parts.data(), path.parts.size() - 1);
  if (folder_parts.empty()) return open_in(root_, path.parts.back(), file, opened);
  if (!held_.is_open() || !std::ranges::equal(folder_parts, held_parts_)) {
    held_parts_.clear();
    platform::directory folder;
    if (int err = root_.open_folder(folder_parts.front(), false, folder)) return err;
    for (const std::string& part : folder_parts.subspan(1)) {
      platform::directory next;
      if (int err = folder.open_folder(part, false, next)) return err;
      folder = std::move(next);
    }
    held_ = std::move(folder);
    held_parts_.assign(folder_parts.begin(), folder_parts.end());
  }
  return open_in(held_, path.parts.back(), file, opened);
}

}  // namespace darvex
