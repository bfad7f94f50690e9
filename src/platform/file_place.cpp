#include "platform/file_place.hpp"

#include "platform/traits.hpp"

namespace platform {

std::optional<file_place> place_of_file(std::string_view path) {
  const std::size_t separator = path.find_last_of(platform::PATH_SEPARATORS);
  std::size_t name_at = separator == std::string_view::npos ? 0 : separator + 1;
  std::string folder = separator == std::string_view::npos ? "." : std::string(path.substr(0, name_at));
  if (platform::BUILT_FOR_WINDOWS && separator == std::string_view::npos && path.size() >= 2 && path[1] == ':') {
    name_at = 2;
    folder = std::string(path.substr(0, 2)) + ".";
  }
  const std::string_view name = path.substr(name_at);
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  return file_place{folder, std::string(name)};
}

}  // namespace platform
