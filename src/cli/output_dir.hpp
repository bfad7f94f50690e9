#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_place.hpp"

namespace darvex {

// The archive's path less its last four characters ("data/file.dat" gives "data/file"), or
// nothing when that names no directory of its own beside the archive: four characters or
// fewer, a separator among the four dropped ("home/pak" would extract into "home", the
// archive's own folder), or a last component that is empty, "." or "..". Characters are
// bytes, except in the Windows build, where the path is UTF-8 and each character counts once.
std::optional<std::string> derive_output_dir(std::string_view archive_path);

// Why derive_output_dir gives nothing for `archive_path`, in words.
std::string no_output_dir_reason(std::string_view archive_path);

// Where a file to be made, named on the command line, lies (-c's new archive).
using platform::file_place;
using platform::place_of_file;

}  // namespace darvex
