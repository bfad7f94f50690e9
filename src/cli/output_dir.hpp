#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace darvex {

// The archive's path less its last four characters ("data/file.dat" gives "data/file"), or
// nothing when that names no directory of its own beside the archive: four characters or
// fewer, a separator among the four dropped ("home/pak" would extract into "home", the
// archive's own folder), or a last component that is empty, "." or "..". Characters are
// bytes, except in the Windows build, where the path is UTF-8 and each character counts once.
std::optional<std::string> derive_output_dir(std::string_view archive_path);

// Why derive_output_dir gives nothing for `archive_path`, in words.
std::string no_output_dir_reason(std::string_view archive_path);

// Where a file to be made, named on the command line, lies: the folder that holds it ("." when
// the path names none) and its own name there. Nothing when the path names no file of its own:
// it ends in a separator, or its last part is "." or "..". Separators are this system's.
struct file_place {
  std::string folder;
  std::string name;
};
std::optional<file_place> place_of_file(std::string_view path);

}  // namespace darvex
