#include "cli/output_dir.hpp"

#include "platform/platform.hpp"

namespace darvex {
namespace {

constexpr std::size_t DROPPED_SUFFIX = 4;

// The last path component, after any '/', '\' or drive prefix ("C:").
std::string_view last_component(std::string_view path) {
  const std::size_t separator = path.find_last_of("/\\");
  if (separator != std::string_view::npos) return path.substr(separator + 1);
  if (path.size() >= 2 && path[1] == ':') return path.substr(2);
  return path;
}

}  // namespace

std::optional<std::string> derive_output_dir(std::string_view archive_path) {
  if (archive_path.size() <= DROPPED_SUFFIX) return std::nullopt;
  const std::string_view dir = archive_path.substr(0, archive_path.size() - DROPPED_SUFFIX);
  // "x/abcd" or "..abcd" would name an existing directory, not one beside the archive.
  const std::string_view last = last_component(dir);
  if (last.empty() || last == "." || last == "..") return std::nullopt;
  return std::string(dir);
}

stage_result enter_output_dir(run_state& state) {
  std::optional<std::string> dir = derive_output_dir(state.archive_path);
  if (!dir) {
    return archive_problem(state,
                           "no output directory: the name less its last four characters names none");
  }
  state.output_dir = std::move(*dir);
  const char* path = state.output_dir.c_str();
  if (int err = platform::make_directory(path)) {
    return problem{quoted(state.output_dir), system_reason("cannot create directory", err)};
  }
  if (int err = platform::change_directory(path)) {
    return problem{quoted(state.output_dir), system_reason("cannot enter directory", err)};
  }
  return std::nullopt;
}

}  // namespace darvex
