// Windows: standard handles that lead nowhere are pointed at the null device, and the console's
// events (Ctrl-C, Ctrl-Break, closing the console, logging off, shutting down) are recorded as
// an interrupt, for the run to notice between entries.

#include "platform/process_windows.hpp"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "platform/process.hpp"

namespace platform {
namespace {

// What every console event counts as: SIGINT's number, so that an interrupted run ends with
// status 130 as it does on POSIX after Ctrl-C.
constexpr int CONSOLE_INTERRUPT = 2;

std::atomic<int> interrupted_by{0};

// Whether the standard handle `handle` leads anywhere. A program started without one finds
// nullptr or INVALID_HANDLE_VALUE there, or a number that names no open handle, which a file
// the tool opens later could take: its messages would then land in that file.
bool leads_somewhere(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  SetLastError(NO_ERROR);
  return GetFileType(handle) != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR;
}

// Points the standard handle `which` at the null device when it leads nowhere, so that no file
// opened later can take its number. The C runtime's `stream` follows where it has a descriptor;
// where the runtime left it unconnected, write_text writes nothing to it.
void fill_standard_handle(DWORD which, std::FILE* stream) {
  if (leads_somewhere(GetStdHandle(which))) return;
  HANDLE null_device = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
  if (null_device == INVALID_HANDLE_VALUE) return;
  SetStdHandle(which, null_device);
  const int descriptor = _fileno(stream);
  HANDLE copy = nullptr;
  if (descriptor < 0 ||
      !DuplicateHandle(GetCurrentProcess(), null_device, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
    return;
  const int opened = _open_osfhandle(reinterpret_cast<std::intptr_t>(copy), _O_TEXT);
  if (opened < 0) {
    CloseHandle(copy);
  } else if (opened != descriptor) {
    _dup2(opened, descriptor);
    _close(opened);
  }
}

BOOL WINAPI record_console_event(DWORD event) {
  int none = 0;
  interrupted_by.compare_exchange_strong(none, CONSOLE_INTERRUPT);
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;  // the run goes on to its end
  // The console is closing, or the session ending: the system ends the process as soon as this
  // returns, or after a few seconds. Waiting here lets the run finish what is in flight, remove
  // its temporary files and exit by itself, which ends this thread too.
  Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void prepare_process() {
  fill_standard_handle(STD_INPUT_HANDLE, stdin);
  fill_standard_handle(STD_OUTPUT_HANDLE, stdout);
  fill_standard_handle(STD_ERROR_HANDLE, stderr);
  // A process started with Ctrl-C ignored keeps ignoring it: the system calls no handler then.
  SetConsoleCtrlHandler(record_console_event, TRUE);
}

int interrupting_signal() { return interrupted_by.load(); }

void let_console_events_end_the_process() { SetConsoleCtrlHandler(record_console_event, FALSE); }

}  // namespace platform
