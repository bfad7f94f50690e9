#include <windows.h>

#include <cerrno>

#include "platform/folders.hpp"
#include "platform/text_windows.hpp"

namespace platform {

bool path_exists(const std::string& path) {
  const std::optional<std::wstring> wide = wide_from_utf8(path);
  if (!wide) return true;
  if (GetFileAttributesW(wide->c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

// RemoveDirectoryW removes only an empty directory, and never what a link points at.
int remove_empty_directory(const std::string& path) {
  const std::optional<std::wstring> wide = wide_from_utf8(path);
  if (!wide) return EINVAL;
  if (RemoveDirectoryW(wide->c_str())) return 0;
  return GetLastError() == ERROR_DIR_NOT_EMPTY ? ENOTEMPTY : EACCES;
}

}  // namespace platform
