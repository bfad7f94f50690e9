// Windows: a completed file renamed onto its name by its handle. The rename replaces a file or
// a link to a file in one step. Windows refuses it (STATUS_ACCESS_DENIED) when a folder, a
// read-only file or a link to a folder stands there, or a file that any handle holds open (an
// antivirus scanner, an indexer, another of this run's threads looking at it): the way is made
// where that is safe and the rename tried again, waiting a little for a file held open.

#include <algorithm>
#include <cerrno>

#include "platform/entries_windows.hpp"
#include "platform/files_windows.hpp"

namespace platform {
namespace {

constexpr NTSTATUS SHARING_VIOLATION = static_cast<NTSTATUS>(0xC0000043L);

// How often the rename is tried. Between tries while a file is held open the waits double from
// 1 ms up to a quarter of a second, so that a file held for about a second is still replaced.
constexpr int MOST_TRIES = 12;

// The attributes that FileBasicInformation may set.
constexpr DWORD SETTABLE_ATTRIBUTES = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// A read-only attribute taken from the file at the name, to give back if it is not replaced.
struct cleared_read_only {
  bool cleared = false;
  file_identity identity;
  DWORD attributes = 0;
};

// What make_way found: rename again now, wait and rename again, or give up (an errno value).
constexpr int RENAME_NOW = 0;
constexpr int WAIT = -1;

// Looks at what stands at `name` in `folder` after a refused rename, and makes way where that is
// safe: a link or junction is deleted by its own handle, so that what it leads to stays; a
// read-only file loses that attribute. A folder gives EISDIR; a pipe or device (Wine shows a
// FIFO so, and will neither rename over nor delete one) EACCES.
int make_way(HANDLE folder, std::wstring_view name, cleared_read_only& taken) {
  // A folder is told first, by a handle that asks for nothing: one of this run's workers may
  // hold it open, which refuses a handle that could delete it.
  file_handle looked;
  BY_HANDLE_FILE_INFORMATION seen;
  if (nt::succeeded(open_entry(folder, name, FILE_READ_ATTRIBUTES, looked)) &&
      GetFileInformationByHandle(looked.get(), &seen) && has(seen.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY) &&
      !has(seen.dwFileAttributes, FILE_ATTRIBUTE_REPARSE_POINT)) {
    return EISDIR;
  }
  looked.close();
  file_handle there;
  const NTSTATUS opened = open_entry(folder, name, DELETE | FILE_WRITE_ATTRIBUTES, there);
  if (opened == SHARING_VIOLATION) return WAIT;
  if (!nt::succeeded(opened)) return nt::errno_from_status(opened) == ENOENT ? RENAME_NOW : EACCES;
  BY_HANDLE_FILE_INFORMATION facts;
  if (!GetFileInformationByHandle(there.get(), &facts)) return EACCES;
  const DWORD attributes = facts.dwFileAttributes;
  const bool itself = reached_by_name(folder, name, there.get());
  const bool link = itself && has(attributes, FILE_ATTRIBUTE_REPARSE_POINT);
  if (has(attributes, FILE_ATTRIBUTE_DIRECTORY) && !link) return EISDIR;
  if (!itself) return EACCES;
  if (link) return nt::succeeded(nt::mark_deleted(there.get())) ? RENAME_NOW : EACCES;
  if (!has(attributes, FILE_ATTRIBUTE_READONLY) || taken.cleared) return WAIT;
  if (!nt::succeeded(nt::set_attributes(there.get(), attributes & SETTABLE_ATTRIBUTES & ~FILE_ATTRIBUTE_READONLY)))
    return EACCES;
  taken = {true, identity_from(facts), attributes & SETTABLE_ATTRIBUTES};
  return RENAME_NOW;  // `there` closes first: a file still open cannot be renamed over
}

// Gives the file at `name` its read-only attribute back, if it is still the one it was taken from.
void give_back(HANDLE folder, std::wstring_view name, const cleared_read_only& taken) {
  file_handle entry;
  BY_HANDLE_FILE_INFORMATION facts;
  if (!taken.cleared || !nt::succeeded(open_entry(folder, name, FILE_WRITE_ATTRIBUTES, entry)) ||
      !GetFileInformationByHandle(entry.get(), &facts) || identity_from(facts) != taken.identity)
    return;
  nt::set_attributes(entry.get(), taken.attributes);
}

}  // namespace

int rename_into_place(HANDLE folder, HANDLE file, std::wstring_view name) {
  cleared_read_only taken;
  int err = EACCES;
  for (int attempt = 0; attempt < MOST_TRIES; ++attempt) {
    const NTSTATUS renamed = nt::rename(file, folder, name);
    if (nt::succeeded(renamed)) return 0;
    if (renamed != nt::ACCESS_DENIED && renamed != SHARING_VIOLATION) {
      err = nt::errno_from_status(renamed);
      break;
    }
    const int way = make_way(folder, name, taken);
    if (way == WAIT) {
      Sleep(std::min<DWORD>(1u << attempt, 256));
    } else if (way != RENAME_NOW) {
      err = way;
      break;
    }
  }
  give_back(folder, name, taken);
  return err;
}

}  // namespace platform
