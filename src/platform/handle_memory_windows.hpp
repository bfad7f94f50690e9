#pragma once

// What the Windows build remembers of its open handles, because asking again costs: a volume's
// serial number takes Windows a moment, but Wine a trip through its mount manager, another
// process (about 2 ms, GetFileInformationByHandle included), and a folder's path a trip to its
// server. A file opened inside a folder held open lies on the folder's volume (no link or mount
// point is ever entered there), so it takes the folder's serial number without asking. What is
// remembered of a handle is forgotten before the handle closes (file_handle::close), so that the
// number never carries it to a handle opened later.

#include <windows.h>

#include <optional>
#include <string>

namespace platform {

void remember_volume(HANDLE handle, DWORD serial);
std::optional<DWORD> remembered_volume(HANDLE handle);

// Gives `file`, opened inside `folder`, the folder's volume, when it is remembered.
void inherit_volume(HANDLE folder, HANDLE file);

void remember_path(HANDLE handle, const std::wstring& path);
std::optional<std::wstring> remembered_path(HANDLE handle);

// Forgets all of `handle`: called before it closes.
void forget_handle(HANDLE handle);

}  // namespace platform
