// Windows: every command-line path goes through the wide-character calls, so that any name
// Windows can hold works and no "best fit" mapping to the ANSI code page ever happens. Paths too
// long for the classic limit take the "\\?\" form. Entry names are converted from the ANSI code
// page, in which the archives' own platform stored them. What happens inside a folder, by its
// handle, is in directory_windows.cpp.

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/errors_windows.hpp"
#include "platform/files_windows.hpp"
#include "platform/handle_memory_windows.hpp"
#include "platform/nt_windows.hpp"
#include "platform/platform.hpp"
#include "platform/terminal.hpp"
#include "platform/text_windows.hpp"

namespace platform {
namespace {

// The classic path limit, less room for the names made inside a directory.
constexpr std::size_t SHORT_PATH_LIMIT = MAX_PATH - 12;

bool starts_with(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

// `full` (absolute, normalised) in the "\\?\" form when it is too long for the classic limit:
// "C:\..." becomes "\\?\C:\...", and "\\server\share\..." becomes "\\?\UNC\server\share\...".
// A path already in that form, or a device path ("\\.\..."), is left as it is.
std::wstring long_form(const std::wstring& full) {
  if (full.size() < SHORT_PATH_LIMIT || starts_with(full, L"\\\\?\\") || starts_with(full, L"\\\\.\\")) return full;
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

// `path` less a trailing separator, a root's ("C:\", "\\?\C:\") kept.
std::wstring without_trailing_separator(std::wstring path) {
  if (path.size() > 3 && path.back() == L'\\' && path[path.size() - 2] != L':') path.pop_back();
  return path;
}

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

// The full path of the command-line path `path`, or an errno value.
int full_path_of(const std::string& path, std::wstring& full) {
  const std::optional<std::wstring> wide = wide_from_utf8(path);
  if (!wide) return EINVAL;
  full = full_path(*wide);
  return full.empty() ? last_errno() : 0;
}

}  // namespace

std::wstring full_path(const std::wstring& path) {
  const std::wstring full = normalised(path);
  return full.empty() ? full : long_form(full);
}

file_type type_of(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) return file_type::other;
  DWORD attributes = 0;
  if (!nt::succeeded(nt::attributes_of(file, attributes))) return file_type::other;
  return type_from(true, attributes);
}

int file_handle::close() {
  if (!is_open()) return 0;
  forget_handle(handle_);  // before its number can be given to another handle
  return CloseHandle(release()) ? 0 : last_errno();
}

native_handle file_handle::invalid_handle() { return INVALID_HANDLE_VALUE; }

int open_for_reading(const std::string& path, file_handle& file, file_type& type) {
  std::wstring full;
  if (int err = full_path_of(path, full)) return err;
  // Opening never blocks: a named pipe without a free instance fails at once. A folder opens
  // too (FILE_FLAG_BACKUP_SEMANTICS), to be told as one. Not shared for deleting, so that no
  // file can be renamed onto the archive, or over a hard link of it, while it is read.
  HANDLE handle = CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return last_errno();
  file = file_handle(handle);
  type = type_of(handle);
  return 0;
}

int file_size(const file_handle& file, std::uint64_t& size) {
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file.get(), &length)) return last_errno();
  size = static_cast<std::uint64_t>(length.QuadPart);
  return 0;
}

int identity_of(const file_handle& file, file_identity& identity) { return identity_of_handle(file.get(), identity); }

int identity_of_handle(HANDLE file, file_identity& identity) {
  std::uint64_t index = 0;
  const std::optional<DWORD> volume = remembered_volume(file);
  if (volume && nt::succeeded(nt::index_of(file, index))) {
    identity = {*volume, index};
    return 0;
  }
  BY_HANDLE_FILE_INFORMATION facts;
  if (!GetFileInformationByHandle(file, &facts)) return last_errno();
  remember_volume(file, facts.dwVolumeSerialNumber);
  identity = identity_from(facts);
  return 0;
}

namespace {

// `name` as NTFS compares names: trailing dots and spaces dropped, letters in one case.
std::wstring compared_name(std::wstring_view name) {
  while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.remove_suffix(1);
  return upper_case(name);
}

// Whether two names are compared here with confidence: ASCII, and neither possibly a short 8.3
// alias ("PROGRA~1"), which reaches a file whose own name is another. Letters beyond ASCII are
// upper-cased by tables that may differ from the file system's.
bool comparable(std::wstring_view a, std::wstring_view b) {
  const auto plain = [](std::wstring_view name) {
    return std::all_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x80 && c != L'~'; });
  };
  return plain(a) && plain(b);
}

// The last part of `path` (after its last separator or drive), as the file system compares it.
std::wstring last_part(std::wstring_view path) {
  const std::size_t separator = path.find_last_of(L"\\/:");
  return compared_name(separator == std::wstring_view::npos ? path : path.substr(separator + 1));
}

// Whether `path`, as opened, is the file `file` itself and no link to it. Windows opens the last
// part itself (FILE_FLAG_OPEN_REPARSE_POINT); Wine follows links even so, but names the file it
// reached as the link's target.
bool opened_itself(const file_handle& file, const std::wstring& path) {
  if (nt::under_wine()) {
    std::wstring reached;
    return nt::succeeded(nt::name_of(file.get(), reached)) && last_part(reached) == last_part(path);
  }
  const file_handle itself(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                       nullptr));
  DWORD attributes = 0;
  file_identity opened;
  file_identity named;
  return itself.is_open() && nt::succeeded(nt::attributes_of(itself.get(), attributes)) &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && identity_of(file, opened) == 0 &&
         identity_of(itself, named) == 0 && opened == named;
}

}  // namespace

bool named_only_by(const file_handle& file, const std::string& path) {
  std::uint32_t links = 0;
  std::wstring full;
  return nt::succeeded(nt::links_of(file.get(), links)) && links == 1 && full_path_of(path, full) == 0 &&
         opened_itself(file, full);
}

bool may_be_one_name(std::string_view a, std::string_view b) {
  const std::optional<std::wstring> wide_a = wide_from_utf8(a);
  const std::optional<std::wstring> wide_b = wide_from_utf8(b);
  if (!wide_a || !wide_b || !comparable(*wide_a, *wide_b)) return true;
  return compared_name(*wide_a) == compared_name(*wide_b);
}

// Handles are not counted against a small limit as POSIX descriptors are.
std::size_t descriptor_limit() { return 16384; }

int read_at(const file_handle& file, std::uint64_t offset, void* buffer, std::size_t length, std::size_t& got) {
  got = 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (got < length) {
    const std::uint64_t at = offset + got;
    const auto wanted = static_cast<ULONG>(std::min<std::size_t>(length - got, 1u << 30));
    ULONG read = 0;
    const NTSTATUS status = nt::read_at(file.get(), at, bytes + got, wanted, read);
    if (status == nt::END_OF_FILE) break;
    if (!nt::succeeded(status)) return nt::errno_from_status(status);
    if (read == 0) break;
    got += read;
  }
  return 0;
}

int write_at(const file_handle& file, std::uint64_t offset, const void* data, std::size_t length) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (length > 0) {
    const auto chunk = static_cast<ULONG>(std::min<std::size_t>(length, 1u << 30));
    ULONG written = 0;
    const NTSTATUS status = nt::write_at(file.get(), offset, bytes, chunk, written);
    if (!nt::succeeded(status)) return nt::errno_from_status(status);
    bytes += written;
    offset += written;
    length -= written;
  }
  return 0;
}

int make_directory(const std::string& path) {
  std::wstring full;
  if (int err = full_path_of(path, full)) return err;
  if (CreateDirectoryW(full.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  return last_errno();
}

int make_directories(const std::string& path) {
  std::wstring full;
  if (int err = full_path_of(path, full)) return err;
  return create_with_parents(without_trailing_separator(full));
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

std::optional<std::string> stored_from_text(std::string_view text) {
  const std::optional<std::wstring> wide = wide_from_utf8(text);
  if (!wide) return std::nullopt;
  return ansi_exactly_from_wide(*wide);
}

std::string case_folded(std::string_view text) {
  const std::optional<std::wstring> wide = wide_from_utf8(text);
  if (!wide || wide->empty()) return std::string(text);
  return utf8_from_wide(upper_case(*wide));
}

// msvcrt's texts end at EILSEQ (42); of the POSIX values MinGW numbers beyond it, ELOOP is
// the one this build gives.
std::string error_text(int err) { return err == ELOOP ? "Too many levels of symbolic links" : std::strerror(err); }

}  // namespace platform
