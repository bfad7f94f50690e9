// Windows: every path goes through the wide-character calls, so that any name Windows can hold
// works and no "best fit" mapping to the ANSI code page ever happens. Paths too long for the
// classic limit take the "\\?\" form. Entry names are converted from the ANSI code page, in
// which the archives' own platform stored them.

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/platform.hpp"
#include "platform/terminal.hpp"
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

bool starts_with(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

// "\\?\" (with "UNC\" after it for a share) lifts the length limit and turns off the system's
// normalising.
bool has_long_prefix(const std::wstring& path) { return starts_with(path, L"\\\\?\\"); }

// `full` (absolute, normalised) in the "\\?\" form when it is too long for the classic limit:
// "C:\..." becomes "\\?\C:\...", and "\\server\share\..." becomes "\\?\UNC\server\share\...".
// A device path ("\\.\...") is left as it is.
std::wstring long_form(const std::wstring& full) {
  if (full.size() < SHORT_PATH_LIMIT || has_long_prefix(full) || starts_with(full, L"\\\\.\\")) return full;
  if (starts_with(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// `path` made absolute and normalised as the system normalises every classic path: '/' becomes
// '\', repeated separators and "." components go, trailing dots and spaces of a component too.
// A path in the "\\?\" form is left as it is. Empty on failure.
std::wstring normalised(const std::wstring& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return {};
  full.resize(length);
  return full;
}

// `path` absolute and normalised, in the long form when it needs it. Empty on failure.
std::wstring full_path(const std::wstring& path) {
  const std::wstring full = normalised(path);
  return full.empty() ? full : long_form(full);
}

// `path` without the "\\?\" prefix, so that joined names are normalised before the prefix goes on.
std::wstring without_long_prefix(const std::wstring& path) {
  if (starts_with(path, L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
  if (has_long_prefix(path)) return path.substr(4);
  return path;
}

// `path` less a trailing separator, a root's ("C:\", "\\?\C:\") kept.
std::wstring without_trailing_separator(std::wstring path) {
  if (path.size() > 3 && path.back() == L'\\' && path[path.size() - 2] != L':') path.pop_back();
  return path;
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

int read_at(const file_handle& file, std::uint64_t offset, void* buffer, std::size_t length, std::size_t& got) {
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

namespace {

// Creates the directory `path` (absolute, without trailing separators) and, when the system
// says a part is missing, each missing parent first. Roots are never created, only reached.
int create_with_parents(const std::wstring& path) {
  if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  if (GetLastError() != ERROR_PATH_NOT_FOUND) return last_errno();
  const std::size_t separator = path.find_last_of(L'\\');
  if (separator == std::wstring::npos || separator == 0) return ENOENT;
  // The parent keeps its separator when it is a root: "C:\", "\\?\C:\".
  const bool root_parent = path[separator - 1] == L':';
  if (int err = create_with_parents(path.substr(0, root_parent ? separator + 1 : separator))) return err;
  if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  return last_errno();
}

}  // namespace

int make_directories(const std::string& path) {
  const std::optional<std::wstring> wide = wide_from_utf8(path);
  if (!wide) return EINVAL;
  const std::wstring full = full_path(*wide);
  if (full.empty()) return last_errno();
  return create_with_parents(without_trailing_separator(full));
}

int directory::open(const std::string& path) {
  const std::optional<std::wstring> wide = wide_from_utf8(path);
  if (!wide) return EINVAL;
  const std::wstring full = full_path(*wide);
  if (full.empty()) return last_errno();
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return last_errno();
  if (!is_directory(attributes)) return ENOTDIR;
  // Kept in the classic form: each joined path is normalised, then takes the long form if it needs it.
  path_ = without_long_prefix(full);
  if (path_.back() != L'\\') path_ += L'\\';
  return 0;
}

namespace {

// Checks that each directory part of `target` after its first `start` characters is a real
// directory: a link or junction there would lead out of the output directory.
directory::created check_directory_parts(const std::wstring& target, std::size_t start) {
  for (std::size_t at = target.find(L'\\', start); at != std::wstring::npos; at = target.find(L'\\', at + 1)) {
    const std::wstring part = long_form(target.substr(0, at));
    const DWORD attributes = GetFileAttributesW(part.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {directory::creation::failed, last_errno()};
    if (is_reparse_point(attributes)) return {directory::creation::through_link, ELOOP};
    if (!is_directory(attributes)) return {directory::creation::failed, ENOTDIR};
  }
  return {};
}

// Creates a new file at `target` (full, in the long form where needed), never opening what is
// there: something of that name is removed first, or with existing::keep left alone.
directory::created create_new(const std::wstring& target, directory::existing policy, file_handle& file) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    HANDLE handle = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      file = file_handle(handle);
      return {};
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) {
      return {directory::creation::failed, errno_from(error)};
    }
    // ERROR_ACCESS_DENIED is also what a read-only file or a directory of that name gives.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {directory::creation::failed, errno_from(error)};
    if (policy == directory::existing::keep) return {directory::creation::kept};
    if (int err = remove_existing(target)) return {directory::creation::failed, err};
  }
  return {directory::creation::failed, EEXIST};
}

}  // namespace

directory::created directory::create_file(const char* name, existing policy, file_handle& file) const {
  const std::optional<std::wstring> wide = wide_from_ansi(name);
  if (!wide) return {creation::not_representable, EILSEQ};
  // Normalised as the system would, so that a long path means the same file as a short one.
  const std::wstring target = normalised(path_ + *wide);
  if (target.empty()) return {directory::creation::failed, last_errno()};
  // The name checks keep every name inside; this holds even if they did not.
  if (target.size() <= path_.size() || target.compare(0, path_.size(), path_) != 0)
    return {directory::creation::failed, EINVAL};
  if (created trouble = check_directory_parts(target, path_.size()); trouble.result != creation::made) return trouble;
  return create_new(long_form(target), policy, file);
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

std::string case_folded(std::string_view text) {
  const std::optional<std::wstring> wide = wide_from_utf8(text);
  if (!wide || wide->empty()) return std::string(text);
  const int length = static_cast<int>(wide->size());
  std::wstring upper(wide->size(), L'\0');
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide->data(), length, upper.data(), length) != length) {
    return std::string(text);
  }
  return utf8_from_wide(upper);
}

namespace {

// The console behind `stream`, or nullptr when it goes to a file or a pipe.
HANDLE console_of(std::FILE* stream) {
  HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

// Each byte as the character of the same number: for text that did not convert.
std::wstring widened(std::string_view bytes) {
  std::wstring wide;
  for (const char byte : bytes) wide += static_cast<wchar_t>(static_cast<unsigned char>(byte));
  return wide;
}

// `text` with the C1 controls (U+0080 to U+009F, which some code pages give for bytes 0x80 to
// 0x9F) shown as \xNN, as the console shows every other control.
std::wstring c1_escaped(const std::wstring& text) {
  static constexpr wchar_t DIGITS[] = L"0123456789ABCDEF";
  std::wstring shown;
  for (const wchar_t c : text) {
    if (c >= 0x80 && c <= 0x9F) {
      shown += {L'\\', L'x', DIGITS[c >> 4], DIGITS[c & 0xF]};
    } else {
      shown += c;
    }
  }
  return shown;
}

std::wstring wide_for_console(std::string_view text, text_kind kind) {
  if (kind == text_kind::command_line || kind == text_kind::utf8) return wide_from_utf8(text).value_or(widened(text));
  if (kind == text_kind::stored_name) return c1_escaped(wide_from_ansi(text).value_or(widened(text)));
  return widened(text);
}

// Command-line text in the ANSI code page; everything else as it is.
std::string bytes_for_file(std::string_view text, text_kind kind) {
  if (kind != text_kind::command_line) return std::string(text);
  const std::optional<std::wstring> wide = wide_from_utf8(text);
  return wide ? ansi_from_wide(*wide) : std::string(text);
}

}  // namespace

text_stream text_stream_for(std::FILE* file) { return {file, console_of(file) != nullptr}; }

int write_text(const text_stream& stream, std::initializer_list<text_part> parts) {
  if (stream.console) {
    if (std::fflush(stream.file) != 0) return EIO;
    std::wstring wide;
    for (const text_part& part : parts) wide += wide_for_console(part.text, part.kind);
    HANDLE console = GetStdHandle(stream.file == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD written = 0;
    return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) ? 0 : last_errno();
  }
  std::string bytes;
  for (const text_part& part : parts) bytes += bytes_for_file(part.text, part.kind);
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream.file) == bytes.size()) return 0;
  return failed_write_error();
}

void ignore_broken_pipe() {}

std::string error_text(int err) { return std::strerror(err); }

}  // namespace platform
