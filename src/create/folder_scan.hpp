#pragma once

// The files of a folder that is to be packed, found part by part through handles: every folder
// under it is opened relative to the one above, never through a link, and every file's size and
// stamp come from its folder's listing, without opening it. A symbolic link, junction, FIFO, socket or device anywhere
// under it is never followed or read: it is a problem, unless an exclude pattern leaves it out.

#include <cstdint>
#include <string>
#include <vector>

#include "format/problem.hpp"
#include "platform/file_state.hpp"
#include "platform/platform.hpp"
#include "select/entry_name.hpp"
#include "select/name_encoding.hpp"

namespace darvex {

// Why a symbolic link, junction, FIFO, socket or device under the folder is not packed.
inline constexpr const char* NEVER_FOLLOWED =
    "a link, FIFO, socket or device: never followed or read (leave it out with -x)";

struct source_file {
  entry_path path;          // its parts under the folder
  std::string stored_name;  // the bytes an archive stores for it: its parts joined with '\'
  std::string key;          // which file it is by this system's rules (see file_key)
  std::uint64_t size = 0;
  platform::file_identity identity;
  platform::file_stamp stamp;  // its size and the time it was written, when the folder was read
};

// The key two paths share when they name one file on this system: their parts joined with '/',
// in the case names are compared in.
std::string file_key(const entry_path& path);

// "<root_path>/<parts joined by '/'>": how messages name a file under the folder; on Windows
// with '\' instead of '/' ("A\data\x.bin").
std::string shown_path(const std::string& root_path, const entry_path& path);

// Finds every file under `root` (named `root_path` in messages) that none of `excludes` takes
// (patterns as -x reads them, matched against the name as text), sorted by their parts. Each
// one's name must be one the archive can store and extraction gives back: at most 255 bytes,
// stored as `names` stores text (in the code page chosen, or the system's), and safe to create.
[[nodiscard]] maybe_problem scan_folder(const platform::directory& root, const std::string& root_path,
                                        const std::vector<std::string>& excludes, const name_encoding& names,
                                        std::vector<source_file>& files);

// A problem naming the file of `files` that is `identity`, `what` it is ("the archive being
// made"): it cannot go into itself. Nothing when none is.
[[nodiscard]] maybe_problem refuse_file(const std::vector<source_file>& files, const std::string& root_path,
                                        const platform::file_identity& identity, const char* what);

// Opens files under a folder for reading, part by part, never through a link. It holds the
// folder of the last file it opened: files come in the order of their paths, so most are found
// in the folder of the one before.
class source_opener {
 public:
  explicit source_opener(const platform::directory& root) : root_(root) {}

  // Opens the file at `path`; `opened` says which file it is and its stamp. 0, or an errno
  // value (ELOOP for a link, EINVAL for anything but a regular file).
  int open(const entry_path& path, platform::file_handle& file, platform::standing& opened);

 private:
  const platform::directory& root_;
  std::vector<std::string> held_parts_;  // the parts of held_, while it is open
  platform::directory held_;
};

}  // namespace darvex
