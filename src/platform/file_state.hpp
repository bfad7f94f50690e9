#pragma once

// What a writer that replaces a file needs beyond reading and writing: whether a file changed
// while it was read, the permissions of the file it replaces, and getting what it wrote onto
// the disk before the rename that makes it count.

#include <cstdint>

#include "platform/platform.hpp"

namespace platform {

// What changes whenever a file's bytes do: its size and the time it was last written.
struct file_stamp {
  std::uint64_t size = 0;
  std::int64_t written_seconds = 0;
  std::int64_t written_nanoseconds = 0;  // POSIX: of that second; Windows: in 100 ns steps, within written_seconds
  bool operator==(const file_stamp&) const = default;
};

// The stamp of the file open as `file`. 0, or an errno value.
int stamp_of(const file_handle& file, file_stamp& stamp);

// What a file's replacement takes over from it: on POSIX its permission bits, owner and group;
// on Windows its attributes.
struct file_permissions {
  std::uint32_t bits = 0;  // POSIX: the mode's bits 07777; Windows: FILE_ATTRIBUTE_* values
  std::uint64_t owner = 0;
  std::uint64_t group = 0;
};

// The permissions of the file open as `file`. 0, or an errno value.
int permissions_of(const file_handle& file, file_permissions& permissions);

// Gives the file open as `file` (one this process made) `permissions`: POSIX's owner and group
// as far as the process may set them, then the bits; Windows' attributes but read-only (a
// read-only file could not be removed should it not be published). While `being_written`, the
// owner may read and write it all the same, so that it can be written and read back: call
// again once it is whole. 0, or an errno value: EPERM when the file would be left open to
// someone whom `permissions` keep out.
int give_permissions(const file_handle& file, const file_permissions& permissions, bool being_written = false);

// Writes what the system holds of the file's data and size to the disk (fsync; Windows:
// FlushFileBuffers). 0, or an errno value.
int sync_file(const file_handle& file);

}  // namespace platform
