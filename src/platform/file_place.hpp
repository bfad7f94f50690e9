#pragma once

// Where a file or folder to be made, named on the command line, lies: the folder that holds it
// ("." when the path names none) and its own name there.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct file_place {
  std::string folder;
  std::string name;
};

// Nothing when the path names nothing of its own: it ends in a separator, or its last part is
// "." or "..". Separators are this system's.
std::optional<file_place> place_of_file(std::string_view path);

}  // namespace platform
