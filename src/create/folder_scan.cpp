#include "create/folder_scan.hpp"

#include <algorithm>
#include <cerrno>

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

// Why the file at `path` cannot be an entry of its own name, or nullptr.
const char* name_trouble(const entry_path& path, const std::string& text, const std::optional<std::string>& stored) {
  if (!stored) return "name cannot be stored in the system's ANSI code page";
  if (stored->size() > MAX_NAME_LENGTH) return "name longer than the 255 bytes an archive stores";
  if (unsafe_name_reason(text.c_str()) != nullptr || path_of_entry(text).parts != path.parts) {
    return "name would not extract to this file (a '\\' in it, or a name extraction refuses)";
  }
  return nullptr;
}

class folder_scanner {
 public:
  folder_scanner(const std::string& root_path, const std::vector<std::string>& excludes,
                 std::vector<source_file>& files)
      : root_path_(root_path), excludes_(excludes), files_(files) {}

  maybe_problem scan(const platform::directory& folder, entry_path& path) {
    std::vector<platform::directory::listed> names;
    if (int err = folder.list(names)) return trouble(root_path_, path, "cannot list", err);
    for (const auto& listed : names) {
      path.parts.push_back(listed.name);
      maybe_problem failure = visit(folder, listed.kind, path);
      path.parts.pop_back();
      if (failure) return failure;
    }
    return std::nullopt;
  }

 private:
  maybe_problem visit(const platform::directory& folder, platform::standing_kind kind, entry_path& path) {
    using platform::standing_kind;
    if (kind == standing_kind::folder) {
      platform::directory inner;
      if (int err = folder.open_folder(path.parts.back(), false, inner)) return refused(path, err);
      return scan(inner, path);
    }
    const std::string text = stored_text(path);
    if (excludes_.any_takes(platform::case_folded(text))) return std::nullopt;
    if (kind != standing_kind::file) return refused(path, EINVAL);
    source_file file;
    file.path = path;
    file.key = file_key(path);
    const std::optional<std::string> stored = platform::stored_from_text(text);
    if (const char* reason = name_trouble(path, text, stored)) return trouble(root_path_, path, reason);
    file.stored_name = *stored;
    platform::file_handle handle;
    platform::file_type type = platform::file_type::other;
    if (int err = folder.open_file(path.parts.back(), handle, type)) return refused(path, err);
    if (type != platform::file_type::regular) return refused(path, EINVAL);
    if (int err = platform::stamp_of(handle, file.stamp)) return trouble(root_path_, path, "cannot read", err);
    file.size = file.stamp.size;
    if (int err = platform::identity_of(handle, file.identity)) return trouble(root_path_, path, "cannot read", err);
    files_.push_back(std::move(file));
    return std::nullopt;
  }

  problem refused(const entry_path& path, int err) const {
    if (err == ELOOP || err == EINVAL) {
      return trouble(root_path_, path, "a link, FIFO, socket or device: never followed or read (leave it out with -x)");
    }
    return trouble(root_path_, path, "cannot open", err);
  }

  const std::string& root_path_;
  const folded_patterns excludes_;
  std::vector<source_file>& files_;
};

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
                          const std::vector<std::string>& excludes, std::vector<source_file>& files) {
  files.clear();
  entry_path path;
  folder_scanner scanner(root_path, excludes, files);
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

int open_source(const platform::directory& root, const entry_path& path, platform::file_handle& file) {
  if (path.parts.empty()) return EINVAL;
  const platform::directory* folder = &root;
  platform::directory inner;
  for (std::size_t i = 0; i + 1 < path.parts.size(); ++i) {
    platform::directory next;
    if (int err = folder->open_folder(path.parts[i], false, next)) return err;
    inner = std::move(next);
    folder = &inner;
  }
  platform::file_type type = platform::file_type::other;
  if (int err = folder->open_file(path.parts.back(), file, type)) return err;
  return type == platform::file_type::regular ? 0 : EINVAL;
}

}  // namespace darvex
