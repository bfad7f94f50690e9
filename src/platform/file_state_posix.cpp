#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_state.hpp"

namespace platform {
namespace {

constexpr mode_t PERMISSION_BITS = 07777;

int retried_sync(int fd) {
  while (fsync(fd) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

}  // namespace

int stamp_of(const file_handle& file, file_stamp& stamp) {
  struct stat status {};
  if (fstat(file.get(), &status) != 0) return errno;
  stamp = {static_cast<std::uint64_t>(status.st_size), static_cast<std::int64_t>(status.st_mtim.tv_sec),
           static_cast<std::int64_t>(status.st_mtim.tv_nsec)};
  return 0;
}

int permissions_of(const file_handle& file, file_permissions& permissions) {
  struct stat status {};
  if (fstat(file.get(), &status) != 0) return errno;
  permissions = {static_cast<std::uint32_t>(status.st_mode & PERMISSION_BITS), status.st_uid, status.st_gid};
  return 0;
}

int give_permissions(const file_handle& file, const file_permissions& permissions, bool being_written) {
  const auto owner = static_cast<uid_t>(permissions.owner);
  const auto group = static_cast<gid_t>(permissions.group);
  // Owner and group first, since a change of owner clears the set-user-ID and set-group-ID bits;
  // a process that may not give the file away may still give it a group it belongs to.
  if (fchown(file.get(), owner, group) != 0 && fchown(file.get(), static_cast<uid_t>(-1), group) != 0) {
    // Neither: the file stays the process's, as any file it makes.
  }
  const auto bits = static_cast<mode_t>(permissions.bits | (being_written ? S_IRUSR | S_IWUSR : 0));
  if (fchmod(file.get(), bits) == 0) return 0;
  const int err = errno;
  // Some file systems keep one mode for every file (FAT, mounted with a mask): that is no
  // failure unless the new file would be readable or writable by more than the old one.
  struct stat status {};
  if (fstat(file.get(), &status) != 0) return errno;
  return (status.st_mode & ~bits & 0777) == 0 ? 0 : err;
}

int sync_file(const file_handle& file) { return retried_sync(file.get()); }

int directory::sync() const {
  const int err = retried_sync(handle_.get());
  // Some file systems cannot sync a folder at all; they keep their entries in their own way.
  return err == EINVAL || err == ENOTSUP || err == EROFS ? 0 : err;
}

}  // namespace platform
