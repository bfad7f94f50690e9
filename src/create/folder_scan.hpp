#pragma once

// The files of a folder that is to be packed, found part by part through handles: every folder
// under it is opened relative to the one above, never through a link, and every file is opened to
// learn its size. A symbolic link, junction, FIFO, socket or device anywhere under it is never
// followed or read: it is a problem, unless an exclude pattern leaves it out.

#include <cstdint>
#include <string>
#include <vector>

#include "format/problem.hpp"
#include "platform/file_state.hpp"
#include "platform/platform.hpp"
#include "select/entry_name.hpp"

namespace darvex {

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
// (patterns as -x reads them, matched against the stored name), sorted by their parts. Each
// one's name must be one the archive can store and extraction gives back: at most 255 bytes, in
// the system's code page, and safe to create.
[[nodiscard]] maybe_problem scan_folder(const platform::directory& root, const std::string& root_path,
                                        const std::vector<std::string>& excludes, std::vector<source_file>& files);

// A problem naming the file of `files` that is `identity`, `what` it is ("the archive being
// made"): it cannot go into itself. Nothing when none is.
[[nodiscard]] maybe_problem refuse_file(const std::vector<source_file>& files, const std::string& root_path,
                                        const platform::file_identity& identity, const char* what);

// Opens the file at `path` under `root` for reading, part by part, never through a link.
// 0, or an errno value (ELOOP for a link, EINVAL for anything but a regular file).
int open_source(const platform::directory& root, const entry_path& path, platform::file_handle& file);

}  // namespace darvex
