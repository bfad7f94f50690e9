// Windows: a folder held open by its handle. Every name inside it is opened relative to that
// handle with the native NtCreateFile (OBJECT_ATTRIBUTES.RootDirectory), never through a path,
// and never through a symbolic link or junction (FILE_OPEN_REPARSE_POINT). Files are written
// under a temporary name, renamed onto their own by their handle (FileRenameInformation,
// ReplaceIfExists), and deleted by their handle (FileDispositionInformation). Folders are held
// without FILE_SHARE_DELETE, so that no one renames or deletes one while it is used.
//
// Wine opens what a symbolic link leads to even with FILE_OPEN_REPARSE_POINT, and deleting or
// renaming such a handle acts on the link's target. Under Wine each handle that is about to be
// entered, deleted or read is therefore also checked to carry the name it was opened by.

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/entries_windows.hpp"
#include "platform/errors_windows.hpp"
#include "platform/files_windows.hpp"
#include "platform/handle_memory_windows.hpp"
#include "platform/nt_windows.hpp"
#include "platform/platform.hpp"
#include "platform/text_windows.hpp"
#include "platform/waits.hpp"

namespace platform {
namespace {

constexpr ULONG SHARE_HELD_FOLDER = FILE_SHARE_READ | FILE_SHARE_WRITE;  // not renamed away while held
constexpr ACCESS_MASK FOLDER_ACCESS = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;

// Temporary files are named ".DarvEx-partial-<process>-<serial>.". Every part of an entry's
// name has its trailing dots and spaces trimmed before it reaches a folder, as Windows' own
// paths trim them, so no entry can produce such a name; the native calls keep the dot (NTFS and
// Wine store it as given). A later run tells a killed run's leftovers by it; one still being
// written is held open without FILE_SHARE_DELETE, so no other run can delete it.
constexpr std::wstring_view TEMPORARY_PREFIX = L".DarvEx-partial-";

std::atomic<unsigned long> temporary_serial{0};

std::wstring temporary_name() {
  return std::wstring(TEMPORARY_PREFIX) + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++temporary_serial) + L".";
}

bool all_digits(std::wstring_view text) {
  return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring_view::npos;
}

// Whether `name` is one that temporary_name makes.
bool is_temporary_name(std::wstring_view name) {
  if (name.substr(0, TEMPORARY_PREFIX.size()) != TEMPORARY_PREFIX || name.back() != L'.') return false;
  const std::wstring_view numbers = name.substr(TEMPORARY_PREFIX.size(), name.size() - TEMPORARY_PREFIX.size() - 1);
  const std::size_t dash = numbers.find(L'-');
  return dash != std::wstring_view::npos && all_digits(numbers.substr(0, dash)) && all_digits(numbers.substr(dash + 1));
}

// `part` (UTF-8) as the name of one entry of a folder; nothing for text that is not valid UTF-8,
// or that would name anything but an entry of this very folder.
std::optional<std::wstring> entry_name(std::string_view part) {
  std::optional<std::wstring> name = wide_from_utf8(part);
  if (!name || name->empty() || *name == L"." || *name == L".." || name->find_first_of(L"\\/:") != std::wstring::npos)
    return std::nullopt;
  return name;
}

standing_kind kind_from(DWORD attributes) {
  if (has(attributes, FILE_ATTRIBUTE_REPARSE_POINT) || has(attributes, FILE_ATTRIBUTE_DEVICE))
    return standing_kind::other;
  return has(attributes, FILE_ATTRIBUTE_DIRECTORY) ? standing_kind::folder : standing_kind::file;
}

// Calls `visit(nt::listed_entry)` for every entry of `folder` but "." and "..". 0, or an errno value.
template <typename visit_function>
int each_entry(HANDLE folder, visit_function&& visit) {
  // A handle of its own: a listing's position belongs to the handle, and the folder's is shared.
  file_handle listing;
  const NTSTATUS opened =
      nt::open(folder, L"", {FILE_LIST_DIRECTORY, SHARE_ALL, FILE_OPEN, FILE_DIRECTORY_FILE}, listing);
  if (!nt::succeeded(opened)) return nt::errno_from_status(opened);
  std::vector<std::uint64_t> buffer(8192);  // 64 KiB, aligned for the records' 64-bit members
  const auto size = static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t));
  nt::listing_form form = nt::listing_form::with_index;
  for (bool first = true;; first = false) {
    const NTSTATUS listed = nt::list(listing.get(), buffer.data(), size, first, form);
    if (listed == nt::NO_MORE_FILES) return 0;
    if (!nt::succeeded(listed)) return nt::errno_from_status(listed);
    nt::each_listed(buffer.data(), form, [&](const nt::listed_entry& entry) {
      if (entry.name != L"." && entry.name != L"..") visit(entry);
    });
  }
}

// A file as its folder's listing shows it, where that is exact: without opening it, which under
// Wine is a call to its server. Wine's listing is a stat of each file. NTFS keeps a copy of each
// file's size and time in the folder's entry for it, brought up to date lazily (when the file is
// closed, and only in the folder it was written through), so on Windows a file is looked at by
// its handle. Wine's listing tells no FIFO or device from a file, but gives them no size: an empty
// file is looked at too. Nothing when the listing is not enough.
std::optional<standing> as_listed(const nt::listed_entry& entry, std::optional<DWORD> volume) {
  if (!nt::under_wine() || !volume || entry.index == 0 || entry.size == 0) return std::nullopt;
  if (kind_from(entry.attributes) != standing_kind::file) return std::nullopt;
  return standing{standing_kind::file, {*volume, entry.index}, stamp_from(entry.size, entry.written)};
}

// Deletes the leftover temporary file `name` in `folder`, unless a run still writing holds it:
// that run opened it without FILE_SHARE_DELETE, so this open is refused.
void remove_leftover(HANDLE folder, std::wstring_view name) {
  file_handle leftover;
  if (!nt::succeeded(open_entry(folder, name, DELETE, leftover))) return;
  DWORD attributes = 0;
  if (facts_of_entry(folder, name, leftover.get(), attributes) != 0 || kind_from(attributes) != standing_kind::file)
    return;
  nt::mark_deleted(leftover.get());
}

// Remembers the volume of `opened`, a folder opened inside `folder`. On Windows it is the
// folder's: a mount point is a reparse point, never entered. Wine shows a Linux mount point as a
// folder, so there it is asked, once for each folder held.
void remember_folder_volume(HANDLE folder, HANDLE opened) {
  file_identity identity;
  if (!nt::under_wine()) {
    inherit_volume(folder, opened);
  } else {
    identity_of_handle(opened, identity);
  }
}

// Only one thread at a time makes folders: Wine, on a file system that tells case apart, looks a
// name up and then makes it in two steps, so two threads making "Data" and "DATA" at once could
// make one each. Windows does it in one step; the wait costs nothing there.
mutex making_folders;

// Opens or makes the folder `name` in `folder`; `information` says which.
NTSTATUS open_folder_entry(HANDLE folder, std::wstring_view name, bool create, file_handle& opened,
                           ULONG_PTR& information) {
  const nt::open_request request{FOLDER_ACCESS, SHARE_HELD_FOLDER, create ? ULONG{FILE_OPEN_IF} : ULONG{FILE_OPEN},
                                 FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT};
  if (!create) return nt::open(folder, name, request, opened, &information);
  const std::lock_guard<mutex> one_at_a_time(making_folders);
  return nt::open(folder, name, request, opened, &information);
}

}  // namespace

// By its handle: whatever name it has now, and whatever has since taken its name, only this
// file goes.
void temporary_file::discard() {
  if (folder_ == nullptr) return;
  nt::mark_deleted(file_.get());
  file_.close();
  folder_ = nullptr;
}

// The handle stays open until publish renames the file by it: until then no other run can
// delete the file, and no one can swap another in under its name.
int temporary_file::complete() { return 0; }

// The same file object: its handle was opened for reading too, and reads are by position.
int temporary_file::open_for_reading(file_handle& file) const {
  if (folder_ == nullptr) return EBADF;
  HANDLE duplicate = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), file_.get(), GetCurrentProcess(), &duplicate, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return last_errno();
  }
  file = file_handle(duplicate);
  return 0;
}

int directory::open(const std::string& path) {
  const std::optional<std::wstring> wide = wide_from_utf8(path);
  if (!wide) return EINVAL;
  const std::wstring full = full_path(*wide);
  if (full.empty()) return last_errno();
  // By path, which may pass through links and junctions; FILE_FLAG_BACKUP_SEMANTICS opens a folder.
  HANDLE opened = CreateFileW(full.c_str(), FOLDER_ACCESS | SYNCHRONIZE, SHARE_HELD_FOLDER, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return last_errno();
  file_handle folder(opened);
  BY_HANDLE_FILE_INFORMATION facts;
  if (!GetFileInformationByHandle(opened, &facts)) return last_errno();
  if (!has(facts.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY)) return ENOTDIR;
  remember_volume(opened, facts.dwVolumeSerialNumber);
  handle_ = std::move(folder);
  return 0;
}

int directory::open_folder(std::string_view part, bool create, directory& folder, bool* made) const {
  if (made != nullptr) *made = false;
  const std::optional<std::wstring> name = entry_name(part);
  if (!name) return EINVAL;
  file_handle opened;
  ULONG_PTR information = 0;
  const NTSTATUS status = open_folder_entry(handle_.get(), *name, create, opened, information);
  if (status == nt::NOT_A_DIRECTORY) return is_link_at(handle_.get(), *name) ? ELOOP : ENOTDIR;
  if (!nt::succeeded(status)) return nt::errno_from_status(status);
  DWORD attributes = 0;
  if (int err = facts_of_entry(handle_.get(), *name, opened.get(), attributes)) return err;
  if (!has(attributes, FILE_ATTRIBUTE_DIRECTORY)) return ENOTDIR;
  if (made != nullptr) *made = information == FILE_CREATED;
  remember_folder_volume(handle_.get(), opened.get());
  folder.handle_ = std::move(opened);
  return 0;
}

int directory::look(std::string_view part, standing& found) const {
  found = {};
  const std::optional<std::wstring> name = entry_name(part);
  if (!name) return EINVAL;
  file_handle entry;
  const NTSTATUS status = open_entry(handle_.get(), *name, 0, entry);
  if (!nt::succeeded(status)) return nt::errno_from_status(status) == ENOENT ? 0 : nt::errno_from_status(status);
  DWORD attributes = 0;
  // A pipe or device (Wine shows a FIFO so) has no such facts.
  if (GetFileType(entry.get()) != FILE_TYPE_DISK) {
    found.kind = standing_kind::other;
    return 0;
  }
  if (const NTSTATUS status = nt::attributes_of(entry.get(), attributes); !nt::succeeded(status)) {
    return nt::errno_from_status(status);
  }
  found.kind = kind_from(attributes);
  inherit_volume(handle_.get(), entry.get());
  if (int err = identity_of_handle(entry.get(), found.identity)) return err;
  return found.kind == standing_kind::file ? stamp_of_handle(entry.get(), found.stamp) : 0;
}

int directory::identity(file_identity& identity) const { return identity_of(handle_, identity); }

int directory::create_temporary(temporary_file& file) const {
  // Not shared for deleting: no other run can delete it, nor rename anything onto it. Readable,
  // so that what was written can be read back before it is published.
  const nt::open_request request{FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE, FILE_SHARE_READ, FILE_CREATE,
                                 FILE_NON_DIRECTORY_FILE};
  // A few rounds: a name left by a process whose number this one now has is taken already.
  for (int attempt = 0; attempt < 4; ++attempt) {
    file_handle created;
    const NTSTATUS status = nt::open(handle_.get(), temporary_name(), request, created);
    if (status == nt::OBJECT_NAME_COLLISION) continue;
    if (!nt::succeeded(status)) return nt::errno_from_status(status);
    inherit_volume(handle_.get(), created.get());
    file = temporary_file();
    file.file_ = std::move(created);
    file.folder_ = this;
    return 0;
  }
  return EEXIST;
}

int directory::publish(temporary_file& file, std::string_view part) const {
  const std::optional<std::wstring> name = entry_name(part);
  const int err = name ? rename_into_place(handle_.get(), file.file_.get(), *name) : EINVAL;
  if (err != 0) {
    file.discard();
    return err;
  }
  file.folder_ = nullptr;
  file.file_.close();
  return 0;
}

// Windows renames no folder while a handle is open inside it, and workers hold theirs: every
// file is written under a temporary name of its own instead.
void temporary_folder::discard() { parent_ = nullptr; }

int directory::create_temporary_folder(temporary_folder&) const { return ENOSYS; }

int directory::publish(temporary_folder&, std::string_view) const { return ENOSYS; }

int directory::write_new_file(std::string_view, const void*, std::size_t, bool&) const { return ENOSYS; }

void directory::remove_leftovers() const {
  each_entry(handle_.get(), [&](const nt::listed_entry& entry) {
    if (is_temporary_name(entry.name) && kind_from(entry.attributes) == standing_kind::file) {
      remove_leftover(handle_.get(), entry.name);
    }
  });
}

int directory::list(std::vector<listed>& names) const {
  names.clear();
  int trouble = 0;
  const std::optional<DWORD> volume = remembered_volume(handle_.get());
  const int err = each_entry(handle_.get(), [&](const nt::listed_entry& entry) {
    if (is_temporary_name(entry.name)) return;
    std::string text = utf8_from_wide(entry.name);
    // A folder as the listing shows it, without opening it: under Wine every open is a call to
    // its server. A file too where the listing is exact; anything else by its handle.
    if (kind_from(entry.attributes) == standing_kind::folder) {
      names.push_back({std::move(text), {standing_kind::folder, {}, {}}});
    } else if (const std::optional<standing> listed = as_listed(entry, volume)) {
      names.push_back({std::move(text), *listed});
    } else {
      standing found;
      if (int looked = look(text, found)) {
        trouble = looked;
      } else if (found.kind != standing_kind::nothing) {  // gone meanwhile
        names.push_back({std::move(text), found});
      }
    }
  });
  return err != 0 ? err : trouble;
}

int directory::open_file(std::string_view part, file_handle& file, file_type& type, standing* opened) const {
  const std::optional<std::wstring> name = entry_name(part);
  if (!name) return EINVAL;
  file_handle handle;
  const NTSTATUS status =
      nt::open(handle_.get(), *name,
               {FILE_GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, FILE_OPEN_REPARSE_POINT}, handle);
  if (!nt::succeeded(status)) return nt::errno_from_status(status);
  DWORD attributes = 0;
  const int err = facts_of_entry(handle_.get(), *name, handle.get(), attributes);
  const bool on_disk = GetFileType(handle.get()) == FILE_TYPE_DISK;
  if (err == ELOOP || (err != 0 && on_disk)) return err;
  type = type_from(on_disk, attributes);  // what type_of would say, from the attributes already asked
  inherit_volume(handle_.get(), handle.get());
  if (opened != nullptr) {
    // A pipe or device has no attributes (err != 0 here): it is only told to be something else.
    *opened = {type == file_type::regular ? standing_kind::file : standing_kind::other, {}, {}};
    if (opened->kind == standing_kind::file) {
      if (int failed = identity_of_handle(handle.get(), opened->identity)) return failed;
      if (int failed = stamp_of_handle(handle.get(), opened->stamp)) return failed;
    }
  }
  file = std::move(handle);
  return type == file_type::directory ? EISDIR : 0;
}

}  // namespace platform
