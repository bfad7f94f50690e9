// Windows: every path goes through the wide-character calls, so that any name Windows can hold
// works and no "best fit" mapping to the ANSI code page ever happens. Paths too long for the
// classic limit take the "\\?\" form. Entry names are converted from the ANSI code page, in
// which the archives' own platform stored them.

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/platform.hpp"
#include "platform/text_windows.hpp"

namespace platform {
namespace {

// The classic path limit, less room for the names made inside a directory.
constexpr std::size_t SHORT_PATH_LIMIT = MAX_PATH - 12;

int errno_from(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return EPIPE;
    default:
      return EIO;
  }
}

int last_errno() { return errno_from(GetLastError()); }

// An absolute, normalised path in the "\\?\" form when it is too long for the classic limit.
std::wstring long_form(const std::wstring& full) {
  if (full.size() < SHORT_PATH_LIMIT || full.rfind(L"\\\\", 0) == 0) return full;
  return L"\\\\?\\" + full;
}

// `path` made absolute and normalised, in the long form when it needs it. Empty on failure.
std::wstring full_path(const std::wstring& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return {};
  full.resize(length);
  return long_form(full);
}

bool is_reparse_point(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool is_directory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// Removes whatever stands at `path` so that a new file can take the name: a file (even a
// read-only one), or a link of any kind, never a real directory.
int remove_existing(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;  // gone meanwhile
  if (is_directory(attributes) && !is_reparse_point(attributes)) return EISDIR;
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  // A directory link is removed as a directory; the directory it points at is left alone.
  const BOOL removed = is_directory(attributes) ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
  return removed ? 0 : last_errno();
}

}  // namespace

int file_handle::close() {
  if (!is_open()) return 0;
  return CloseHandle(release()) ? 0 : last_errno();
}

native_handle file_handle::invalid_handle() { return INVALID_HANDLE_VALUE; }

int open_for_reading(const std::string& path, file_handle& file) {
  const std::optional<std::wstring> wide = wide_from_utf8(path);
  if (!wide) return EINVAL;
  const std::wstring full = full_path(*wide);
  if (full.empty()) return last_errno();
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && is_directory(attributes)) return EISDIR;
  HANDLE handle = CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return last_errno();
  file = file_handle(handle);
  return 0;
}

int file_size(const file_handle& file, std::uint64_t& size) {
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file.get(), &length)) return last_errno();
  size = static_cast<std::uint64_t>(length.QuadPart);
  return 0;
}

int read_at(const file_handle& file, std::uint64_t offset, void* buffer, std::size_t length,
            std::size_t& got) {
  got = 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (got < length) {
    const std::uint64_t at = offset + got;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(length - got, 1u << 30));
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes + got, wanted, &read, &position)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return last_errno();
    }
    if (read == 0) break;
    got += read;
  }
  return 0;
}

int make_directory(const std::string& path) {
  const std::optional<std::wstring> wide = wide_from_utf8(path);
  if (!wide) return EINVAL;
  const std::wstring full = full_path(*wide);
  if (full.empty()) return last_errno();
  if (CreateDirectoryW(full.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  return last_errno();
}

int make_directories(const std::string& path) {
  const std::optional<std::wstring> wide = wide_from_utf8(path);
  if (!wide) return EINVAL;
  std::wstring full = full_path(*wide);
  if (full.empty()) return last_errno();
  // Each prefix that ends before a separator, after the root ("C:\", "\\server\share\", "\\?\C:\").
  for (std::size_t at = full.find_first_of(L"\\/", 3); at != std::wstring::npos; at = full.find_first_of(L"\\/", at + 1)) {
    const std::wstring prefix = full.substr(0, at);
    if (prefix.back() == L':' || prefix.back() == L'?' || prefix.back() == L'\\') continue;
    if (!CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS &&
        GetLastError() != ERROR_ACCESS_DENIED) {
      return last_errno();
    }
  }
  if (CreateDirectoryW(full.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  return last_errno();
}

int directory::open(const std::string& path) {
  const std::optional<std::wstring> wide = wide_from_utf8(path);
  if (!wide) return EINVAL;
  std::wstring full = full_path(*wide);
  if (full.empty()) return last_errno();
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return last_errno();
  if (!is_directory(attributes)) return ENOTDIR;
  if (full.back() != L'\\') full += L'\\';
  // Kept without the long prefix: each joined path takes it when it needs it.
  if (full.rfind(L"\\\\?\\", 0) == 0 && full.rfind(L"\\\\?\\UNC\\", 0) != 0) full.erase(0, 4);
  path_ = std::move(full);
  return 0;
}

directory::created directory::create_file(const char* name, existing policy, file_handle& file) const {
  const std::optional<std::wstring> wide = wide_from_ansi(name);
  if (!wide) return {.err = EILSEQ, .not_representable = true};
  std::wstring relative = *wide;
  for (wchar_t& c : relative) {
    if (c == L'/') c = L'\\';
  }
  // Every directory part must be a real directory: a link or junction there would lead out.
  for (std::size_t at = relative.find(L'\\'); at != std::wstring::npos; at = relative.find(L'\\', at + 1)) {
    if (at == 0 || relative[at - 1] == L'\\') continue;
    const std::wstring part = long_form(path_ + relative.substr(0, at));
    const DWORD attributes = GetFileAttributesW(part.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {.err = last_errno()};
    if (is_reparse_point(attributes)) return {.err = ELOOP, .through_link = true};
    if (!is_directory(attributes)) return {.err = ENOTDIR};
  }
  const std::wstring target = long_form(path_ + relative);
  for (int attempt = 0; attempt < 4; ++attempt) {
    HANDLE handle = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      file = file_handle(handle);
      return {};
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) {
      return {.err = errno_from(error)};
    }
    // ERROR_ACCESS_DENIED is also what a read-only file or a directory of that name gives.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {.err = errno_from(error)};
    if (policy == existing::keep) return {.kept = true};
    if (int err = remove_existing(target)) return {.err = err};
  }
  return {.err = EEXIST};
}

int write_all(const file_handle& file, const void* data, std::size_t length) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (length > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes, chunk, &written, nullptr)) return last_errno();
    bytes += written;
    length -= written;
  }
  return 0;
}

std::optional<std::string> name_as_text(const char* stored) {
  const std::optional<std::wstring> wide = wide_from_ansi(stored);
  if (!wide) return std::nullopt;
  return utf8_from_wide(*wide);
}

namespace {

// The console behind `stream`, or nullptr when it goes to a file or a pipe.
HANDLE console_of(std::FILE* stream) {
  HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

std::wstring wide_for_console(std::string_view text, text_kind kind) {
  const std::wstring as_bytes(text.begin(), text.end());
  if (kind == text_kind::command_line) return wide_from_utf8(text).value_or(as_bytes);
  if (kind == text_kind::stored_name) return wide_from_ansi(text).value_or(as_bytes);
  return as_bytes;
}

std::string bytes_for_file(std::string_view text, text_kind kind) {
  if (kind != text_kind::command_line) return std::string(text);
  return ansi_from_wide(wide_from_utf8(text).value_or(std::wstring(text.begin(), text.end())));
}

}  // namespace

int write_text(std::FILE* stream, std::initializer_list<text_part> parts) {
  if (HANDLE console = console_of(stream)) {
    if (std::fflush(stream) != 0) return EIO;
    std::wstring wide;
    for (const text_part& part : parts) wide += wide_for_console(part.text, part.kind);
    DWORD written = 0;
    return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) ? 0 : last_errno();
  }
  std::string bytes;
  for (const text_part& part : parts) bytes += bytes_for_file(part.text, part.kind);
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size()) return 0;
  return errno != 0 ? errno : EIO;
}

void ignore_broken_pipe() {}

std::string error_text(int err) { return std::strerror(err); }

}  // namespace platform
