#include "platform/handle_memory_windows.hpp"

#include <mutex>
#include <unordered_map>

#include "platform/waits.hpp"

namespace platform {
namespace {

struct remembered {
  std::optional<DWORD> volume;
  std::optional<std::wstring> path;
};

// Windows' slim lock: MinGW's std::mutex (winpthreads) waits through an event, a call to Wine's
// server whenever two workers meet here.
mutex guard;
std::unordered_map<HANDLE, remembered>& memory() {
  static std::unordered_map<HANDLE, remembered> by_handle;
  return by_handle;
}

}  // namespace

void remember_volume(HANDLE handle, DWORD serial) {
  const std::lock_guard<mutex> locked(guard);
  memory()[handle].volume = serial;
}

std::optional<DWORD> remembered_volume(HANDLE handle) {
  const std::lock_guard<mutex> locked(guard);
  const auto found = memory().find(handle);
  return found == memory().end() ? std::nullopt : found->second.volume;
}

void inherit_volume(HANDLE folder, HANDLE file) {
  if (const std::optional<DWORD> serial = remembered_volume(folder)) remember_volume(file, *serial);
}

void remember_path(HANDLE handle, const std::wstring& path) {
  const std::lock_guard<mutex> locked(guard);
  memory()[handle].path = path;
}

std::optional<std::wstring> remembered_path(HANDLE handle) {
  const std::lock_guard<mutex> locked(guard);
  const auto found = memory().find(handle);
  return found == memory().end() ? std::nullopt : found->second.path;
}

void forget_handle(HANDLE handle) {
  const std::lock_guard<mutex> locked(guard);
  memory().erase(handle);
}

}  // namespace platform
