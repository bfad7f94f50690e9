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

// What type_of says of a handle that is `on_disk` (GetFileType) with `attributes`.
inline file_type type_from(bool on_disk, DWORD attributes) {
  if (!on_disk) return file_type::other;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? file_type::directory : file_type::regular;
}

// Which file the open handle `file` is: its volume's serial number (remembered where known, see
// handle_memory_windows.hpp) and its index on the volume. 0, or an errno value.
int identity_of_handle(HANDLE file, file_identity& identity);

// Which file the facts of an open handle name: the volume's serial number and the file's index on it.
inline file_identity identity_from(const BY_HANDLE_FILE_INFORMATION& facts) {
  return {facts.dwVolumeSerialNumber, (static_cast<std::uint64_t>(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow};
}

// A file's stamp from its size and the time it was last written (100 ns steps since 1601).
inline file_stamp stamp_from(std::uint64_t size, std::uint64_t written) {
  constexpr std::uint64_t TICKS_PER_SECOND = 10000000;
  return {size, static_cast<std::int64_t>(written / TICKS_PER_SECOND),
          static_cast<std::int64_t>(written % TICKS_PER_SECOND)};
}

// The size and the time last written of the open file `file`, asked alone (one call to Wine's
// server, where GetFileInformationByHandle asks the volume too). 0, or an errno value.
int stamp_of_handle(HANDLE file, file_stamp& stamp);

}  // namespace platform
