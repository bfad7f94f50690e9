#include "platform/entries_windows.hpp"

#include <cerrno>
#include <optional>
#include <string>

#include "platform/errors_windows.hpp"
#include "platform/handle_memory_windows.hpp"
#include "platform/text_windows.hpp"

namespace platform {

NTSTATUS open_entry(HANDLE folder, std::wstring_view name, ACCESS_MASK access, file_handle& entry) {
  return nt::open(folder, name, {access | FILE_READ_ATTRIBUTES, SHARE_ALL, FILE_OPEN, FILE_OPEN_REPARSE_POINT}, entry);
}

namespace {

// `path` less trailing dots and spaces, which Wine leaves out of the names it reports.
std::wstring_view without_trailing_dots(std::wstring_view path) {
  while (!path.empty() && (path.back() == L'.' || path.back() == L' ')) path.remove_suffix(1);
  return path;
}

// The path of the folder open as `folder`, asked once for each handle.
bool path_of_folder(HANDLE folder, std::wstring& path) {
  if (std::optional<std::wstring> remembered = remembered_path(folder)) {
    path = std::move(*remembered);
    return true;
  }
  if (!nt::succeeded(nt::name_of(folder, path))) return false;
  remember_path(folder, path);
  return true;
}

}  // namespace

bool reached_by_name(HANDLE folder, std::wstring_view name, HANDLE opened) {
  if (!nt::under_wine()) return true;
  std::wstring folder_path;
  std::wstring opened_path;
  if (!path_of_folder(folder, folder_path) || !nt::succeeded(nt::name_of(opened, opened_path))) return false;
  if (folder_path.empty() || folder_path.back() != L'\\') folder_path += L'\\';
  folder_path.append(name);
  return upper_case(without_trailing_dots(folder_path)) == upper_case(without_trailing_dots(opened_path));
}

int facts_of_entry(HANDLE folder, std::wstring_view name, HANDLE opened, DWORD& attributes) {
  if (!reached_by_name(folder, name, opened)) return ELOOP;
  const NTSTATUS status = nt::attributes_of(opened, attributes);
  if (!nt::succeeded(status)) return nt::errno_from_status(status);
  return has(attributes, FILE_ATTRIBUTE_REPARSE_POINT) ? ELOOP : 0;
}

bool is_link_at(HANDLE folder, std::wstring_view name) {
  file_handle entry;
  DWORD attributes = 0;
  return nt::succeeded(open_entry(folder, name, 0, entry)) &&
         facts_of_entry(folder, name, entry.get(), attributes) == ELOOP;
}

}  // namespace platform
