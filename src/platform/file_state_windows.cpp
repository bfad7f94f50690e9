#include <cerrno>

#include "platform/errors_windows.hpp"
#include "platform/file_state.hpp"
#include "platform/files_windows.hpp"
#include "platform/nt_windows.hpp"

namespace platform {
namespace {

// The attributes a replacement takes over. Not read-only: a read-only file cannot be removed,
// should it not be published; nor what describes one file's storage (temporary, offline).
constexpr DWORD TAKEN_OVER =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

int stamp_of_handle(HANDLE file, file_stamp& stamp) {
  std::uint64_t size = 0;
  std::uint64_t written = 0;
  const NTSTATUS status = nt::size_and_write_time_of(file, size, written);
  if (!nt::succeeded(status)) return nt::errno_from_status(status);
  stamp = stamp_from(size, written);
  return 0;
}

int stamp_of(const file_handle& file, file_stamp& stamp) { return stamp_of_handle(file.get(), stamp); }

int permissions_of(const file_handle& file, file_permissions& permissions) {
  BY_HANDLE_FILE_INFORMATION facts;
  if (!GetFileInformationByHandle(file.get(), &facts)) return last_errno();
  permissions = {facts.dwFileAttributes, 0, 0};
  return 0;
}

int give_permissions(const file_handle& file, const file_permissions& permissions, bool) {
  const DWORD attributes = permissions.bits & TAKEN_OVER;
  if (attributes == 0) return 0;
  const NTSTATUS status = nt::set_attributes(file.get(), attributes);
  return nt::succeeded(status) ? 0 : nt::errno_from_status(status);
}

int sync_file(const file_handle& file) { return FlushFileBuffers(file.get()) ? 0 : last_errno(); }

// The folder is opened again for writing, which FlushFileBuffers needs; where that is refused
// (Wine, a folder the user may only read), NTFS's journal keeps the rename.
int directory::sync() const {
  file_handle writable;
  const nt::open_request request{GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                                 FILE_DIRECTORY_FILE};
  if (nt::succeeded(nt::open(handle_.get(), L"", request, writable))) FlushFileBuffers(writable.get());
  return 0;
}

}  // namespace platform
