#pragma once

// The entries of a folder held open, each opened relative to the folder's handle and never
// through a link: what the Windows build's folder code shares.

#include <windows.h>

#include <string_view>

#include "platform/nt_windows.hpp"
#include "platform/platform.hpp"

namespace platform {

inline constexpr ULONG SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

inline bool has(DWORD attributes, DWORD attribute) { return (attributes & attribute) != 0; }

// Opens `name` in `folder` with `access` (and FILE_READ_ATTRIBUTES), shared for everything,
// to look at it or act on it by its handle: a symbolic link or junction is opened as itself.
NTSTATUS open_entry(HANDLE folder, std::wstring_view name, ACCESS_MASK access, file_handle& entry);

// Whether the handle `opened`, opened as `name` in `folder`, is that entry itself and not what a
// link there leads to. Wine opens through symbolic links whatever the flags say, and deleting or
// renaming such a handle acts on the link's target; the name it gives the handle tells.
bool reached_by_name(HANDLE folder, std::wstring_view name, HANDLE opened);

// The attributes of `opened`, opened as `name` in `folder`: 0, ELOOP when it is a symbolic link,
// junction or other reparse point or was reached through one, or the errno value of a failure.
int facts_of_entry(HANDLE folder, std::wstring_view name, HANDLE opened, DWORD& attributes);

// Whether a symbolic link, junction or other reparse point stands at `name` in `folder`.
bool is_link_at(HANDLE folder, std::wstring_view name);

// Renames the file open as `file` onto `name` in `folder`, replacing what stands there: a file,
// even a read-only one or one held open for a moment, or a link or junction (the link itself,
// never what it leads to). A folder there fails with EISDIR. 0, or an errno value.
int rename_into_place(HANDLE folder, HANDLE file, std::wstring_view name);

}  // namespace platform
