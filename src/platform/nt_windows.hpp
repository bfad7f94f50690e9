#pragma once

// The native calls (ntdll) through which the Windows build works inside a folder by its handle,
// as POSIX does with openat and renameat: opening a name relative to a folder's handle, renaming
// and deleting a file by its own handle, listing a folder. They exist since Windows NT 4, so on
// XP, but the import libraries would make ntdll.dll an import of the executables: each is looked
// up at run time instead, once, and the executables import only KERNEL32 and msvcrt.

#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.hpp"

namespace platform::nt {

// The status codes this build tells apart (ntstatus.h does not mix with windows.h).
inline constexpr NTSTATUS NO_MORE_FILES = static_cast<NTSTATUS>(0x80000006L);
inline constexpr NTSTATUS ACCESS_DENIED = static_cast<NTSTATUS>(0xC0000022L);
inline constexpr NTSTATUS OBJECT_NAME_COLLISION = static_cast<NTSTATUS>(0xC0000035L);
inline constexpr NTSTATUS NOT_A_DIRECTORY = static_cast<NTSTATUS>(0xC0000103L);
inline constexpr NTSTATUS FILE_IS_A_DIRECTORY = static_cast<NTSTATUS>(0xC00000BAL);

inline bool succeeded(NTSTATUS status) { return status >= 0; }

// The errno value nearest to `status`.
int errno_from_status(NTSTATUS status);

// Whether the program runs under Wine, whose opens follow symbolic links even with
// FILE_OPEN_REPARSE_POINT (see reached_by_name).
bool under_wine();

// The id of the process that started this one, or 0 when none did: Wine gives 0 to a program
// started from a Linux shell.
std::uintptr_t parent_process_id();

// What to open `name` in a folder with.
struct open_request {
  ACCESS_MASK access;  // SYNCHRONIZE is always added: every handle here is synchronous
  ULONG share;
  ULONG disposition;  // FILE_OPEN, FILE_CREATE, FILE_OPEN_IF
  ULONG options;      // FILE_SYNCHRONOUS_IO_NONALERT is always added
};

// Opens `name` (one part of a name, or empty for the folder itself) relative to `folder`,
// names compared without regard to case. `information` receives what the call did
// (FILE_CREATED, FILE_OPENED).
NTSTATUS open(HANDLE folder, std::wstring_view name, const open_request& request, file_handle& file,
              ULONG_PTR* information = nullptr);

// Gives the file open as `file` the name `name` in `folder`, replacing what stands there.
NTSTATUS rename(HANDLE file, HANDLE folder, std::wstring_view name);

// Marks the file open as `file` for deletion when its last handle closes.
NTSTATUS mark_deleted(HANDLE file);

// Sets the attributes (FILE_ATTRIBUTE_*) of the file open as `file`.
NTSTATUS set_attributes(HANDLE file, DWORD attributes);

inline constexpr NTSTATUS END_OF_FILE = static_cast<NTSTATUS>(0xC0000011L);

// Reads or writes `length` bytes at `offset` of the file open (for synchronous I/O) as `file`;
// `read` or `written` says how many. ReadFile and WriteFile with an OVERLAPPED position cost Wine
// a call to its server for each, to post a completion that no one waits for; these do not.
NTSTATUS read_at(HANDLE file, std::uint64_t offset, void* bytes, ULONG length, ULONG& read);
NTSTATUS write_at(HANDLE file, std::uint64_t offset, const void* bytes, ULONG length, ULONG& written);

// The attributes (FILE_ATTRIBUTE_*) of the file open as `file`: all that is asked, so that nothing
// slower is (GetFileInformationByHandle also asks the volume, which under Wine is slow).
NTSTATUS attributes_of(HANDLE file, DWORD& attributes);

// How many names (hard links) the file open as `file` has.
NTSTATUS links_of(HANDLE file, std::uint32_t& links);

// The size of the file open as `file`, and when it was last written (100 ns steps since 1601),
// without its volume's serial number, which GetFileInformationByHandle also asks.
NTSTATUS size_and_write_time_of(HANDLE file, std::uint64_t& size, std::uint64_t& written);

// The index of the file open as `file` on its volume, as GetFileInformationByHandle gives it.
NTSTATUS index_of(HANDLE file, std::uint64_t& index);

// The path of the file open as `file` on its volume ("\folder\name"), as the system names it.
NTSTATUS name_of(HANDLE file, std::wstring& name);

// One entry of a folder's listing.
struct listed_entry {
  std::wstring_view name;
  DWORD attributes = 0;       // FILE_ATTRIBUTE_*
  std::uint64_t size = 0;     // end of file
  std::uint64_t written = 0;  // last written, 100 ns steps since 1601
  std::uint64_t index = 0;    // the file's index on its volume; 0 where the file system gives none
};

// The form of a listing's records: FILE_ID_FULL_DIR_INFORMATION, which carries each file's index,
// or FILE_DIRECTORY_INFORMATION from a file system that gives no indexes.
enum class listing_form { with_index, plain };

// Lists `folder` (a handle used for nothing else: the position is the handle's) into `buffer`,
// from the start when `restart`. `form` is the records' form; a restart sets it. NO_MORE_FILES
// at the end.
NTSTATUS list(HANDLE folder, void* buffer, ULONG size, bool restart, listing_form& form);

// The entry a listing's `record` (FILE_ID_FULL_DIR_INFORMATION or FILE_DIRECTORY_INFORMATION)
// describes, with the file's index `index`.
template <typename record>
listed_entry entry_of(const record& listed, std::uint64_t index) {
  return {{listed.FileName, listed.FileNameLength / sizeof(wchar_t)},
          listed.FileAttributes,
          static_cast<std::uint64_t>(listed.EndOfFile.QuadPart),
          static_cast<std::uint64_t>(listed.LastWriteTime.QuadPart),
          index};
}

// Calls `visit(listed_entry)` for each record that `list` put into `buffer` in `form`.
template <typename visit_function>
void each_listed(const void* buffer, listing_form form, visit_function&& visit) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  for (ULONG at = 0;;) {
    ULONG next = 0;
    if (form == listing_form::with_index) {
      const auto* record = reinterpret_cast<const FILE_ID_FULL_DIR_INFORMATION*>(bytes + at);
      next = record->NextEntryOffset;
      visit(entry_of(*record, static_cast<std::uint64_t>(record->FileId.QuadPart)));
    } else {
      const auto* record = reinterpret_cast<const FILE_DIRECTORY_INFORMATION*>(bytes + at);
      next = record->NextEntryOffset;
      visit(entry_of(*record, 0));
    }
    if (next == 0) return;
    at += next;
  }
}

}  // namespace platform::nt
