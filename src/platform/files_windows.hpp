#pragma once

// What the Windows build's files share about paths and open handles.

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/platform.hpp"

namespace platform {

// `path` (command-line text as UTF-16) made absolute and normalised as the system normalises
// every classic path, in the "\\?\" form when it is too long for the classic limit. Empty on
// failure, with GetLastError's reason.
std::wstring full_path(const std::wstring& path);

// What the open handle `file` is: only a file on a disk (no pipe, console or device) that is
// not a folder is regular.
file_type type_of(HANDLE file);

// Which file the facts of an open handle name: the volume's serial number and the file's index on it.
inline file_identity identity_from(const BY_HANDLE_FILE_INFORMATION& facts) {
  return {facts.dwVolumeSerialNumber, (static_cast<std::uint64_t>(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow};
}

// The size and the time last written that the facts of an open handle give.
inline file_stamp stamp_from(const BY_HANDLE_FILE_INFORMATION& facts) {
  constexpr std::uint64_t TICKS_PER_SECOND = 10000000;  // FILETIME counts 100 ns steps
  const std::uint64_t written =
      (static_cast<std::uint64_t>(facts.ftLastWriteTime.dwHighDateTime) << 32) | facts.ftLastWriteTime.dwLowDateTime;
  return {(static_cast<std::uint64_t>(facts.nFileSizeHigh) << 32) | facts.nFileSizeLow,
          static_cast<std::int64_t>(written / TICKS_PER_SECOND), static_cast<std::int64_t>(written % TICKS_PER_SECOND)};
}

}  // namespace platform
