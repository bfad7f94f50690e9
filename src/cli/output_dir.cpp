#include "cli/output_dir.hpp"

#include "platform/name_parts.hpp"
#include "platform/traits.hpp"

namespace darvex {
namespace {

constexpr std::size_t DROPPED_CHARACTERS = 4;

// Paths are split at '/' and '\' alike, as the user may have typed either.
bool is_separator(char c) { return platform::is_separator(c, platform::ANY_PATH_SEPARATOR); }

// Where the last `count` characters of `path` begin, or npos when it has no more than that.
std::size_t start_of_last(std::string_view path, std::size_t count) {
  std::size_t at = path.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (at == 0) return std::string_view::npos;
    --at;
    // UTF-8 continuation bytes belong to the character they follow.
    while (platform::UTF8_COMMAND_LINE && at > 0 && (static_cast<unsigned char>(path[at]) & 0xC0) == 0x80) --at;
  }
  return at == 0 ? std::string_view::npos : at;
}

// The last path component, after any '/', '\' or drive prefix ("C:").
std::string_view last_component(std::string_view path) {
  const std::size_t separator = path.find_last_of(platform::ANY_PATH_SEPARATOR);
  if (separator != std::string_view::npos) return path.substr(separator + 1);
  if (path.size() >= 2 && path[1] == ':') return path.substr(2);
  return path;
}

bool separator_dropped(std::string_view archive_path, std::size_t cut) {
  for (const char c : archive_path.substr(cut)) {
    if (is_separator(c)) return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> derive_output_dir(std::string_view archive_path) {
  const std::size_t cut = start_of_last(archive_path, DROPPED_CHARACTERS);
  if (cut == std::string_view::npos || separator_dropped(archive_path, cut)) return std::nullopt;
  const std::string_view dir = archive_path.substr(0, cut);
  const std::string_view last = last_component(dir);
  if (last.empty() || last == "." || last == "..") return std::nullopt;
  return std::string(dir);
}

std::string no_output_dir_reason(std::string_view archive_path) {
  const std::size_t cut = start_of_last(archive_path, DROPPED_CHARACTERS);
  if (cut != std::string_view::npos && separator_dropped(archive_path, cut)) {
    return "no output directory: a path separator is among the last four characters, which the name of the "
           "directory drops (choose one with -d DIR)";
  }
  return "no output directory: the name less its last four characters names none (choose one with -d DIR)";
}

}  // namespace darvex
