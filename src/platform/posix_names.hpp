#pragma once

// What the POSIX files of the platform layer share: names in a folder listed, links told, file
// identities, and the names of this tool's temporaries.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "platform/platform.hpp"

namespace platform {

// Temporaries (files being written, folders being filled) are named
// ".DarvEx-partial\<process>-<serial>". Every stored name is split at '\' as at '/', so no entry
// can produce such a name, and a later run can tell them from files of the user's.
inline constexpr std::string_view TEMPORARY_PREFIX = ".DarvEx-partial\\";

inline bool is_temporary_name(std::string_view name) {
  return name.size() > TEMPORARY_PREFIX.size() && name.substr(0, TEMPORARY_PREFIX.size()) == TEMPORARY_PREFIX;
}

inline bool is_link_at(int parent, const char* part) {
  struct stat status {};
  return fstatat(parent, part, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
}

inline file_identity identity_from(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

// Calls `visit(name)` for every name in the folder `folder` but "." and "..". 0, or an errno value.
template <typename function>
int each_name(int folder, function&& visit) {
  // A handle of its own: the listing moves its position and closes it.
  const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  DIR* listing = fdopendir(fd);
  if (listing == nullptr) {
    const int err = errno;
    ::close(fd);
    return err;
  }
  errno = 0;
  while (const dirent* item = readdir(listing)) {
    const std::string_view name(item->d_name);
    if (name != "." && name != "..") visit(name);
    errno = 0;
  }
  const int err = errno;
  closedir(listing);
  return err;
}

}  // namespace platform
