// A console's status line is drawn with the console API, which every Windows console since XP
// understands: the line is filled with spaces and the text written from its first column.
// Escape sequences would need a console that handles them, which older ones do not.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/terminal.hpp"

namespace platform {
namespace {

bool is_pipe_gone(DWORD error) {
  return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
}

HANDLE handle_of(const text_stream& stream) {
  return GetStdHandle(stream.file == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

// Blanks the cursor's line and moves the cursor to its start.
int blank_line(HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(console, &info)) return EIO;
  const COORD line_start{0, info.dwCursorPosition.Y};
  DWORD written = 0;
  if (!FillConsoleOutputCharacterW(console, L' ', static_cast<DWORD>(info.dwSize.X), line_start, &written)) return EIO;
  return SetConsoleCursorPosition(console, line_start) ? 0 : EIO;
}

}  // namespace

// The C runtime maps the system's error to errno, and a pipe whose reader has gone to EINVAL;
// it keeps the system's own in _doserrno (GetLastError may be reset by then). Windows says
// ERROR_NO_DATA for such a pipe, Wine ERROR_PIPE_NOT_CONNECTED.
int failed_write_error() {
  if (errno == EPIPE || (errno == EINVAL && is_pipe_gone(_doserrno))) return EPIPE;
  return errno != 0 ? errno : EIO;
}

int write_bytes(std::FILE* stream, const void* data, std::size_t length) {
  if (std::fflush(stream) != 0) return failed_write_error();
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (length > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, bytes, static_cast<DWORD>(std::min<std::size_t>(length, 1u << 30)), &written, nullptr)) {
      const DWORD error = GetLastError();
      if (is_pipe_gone(error)) return EPIPE;
      return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? ENOSPC : EIO;
    }
    bytes += written;
    length -= written;
  }
  return 0;
}

bool is_terminal(const text_stream& stream) { return stream.console; }

unsigned terminal_columns(const text_stream& stream) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!stream.console || !GetConsoleScreenBufferInfo(handle_of(stream), &info)) return 0;
  return static_cast<unsigned>(info.srWindow.Right - info.srWindow.Left + 1);
}

int show_status_line(const text_stream& stream, std::string_view text) {
  if (!stream.console) return EINVAL;
  const HANDLE console = handle_of(stream);
  if (int err = blank_line(console)) return err;
  const std::wstring wide(text.begin(), text.end());  // ASCII
  DWORD written = 0;
  return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) ? 0 : EIO;
}

int clear_status_line(const text_stream& stream) {
  if (!stream.console) return EINVAL;
  return blank_line(handle_of(stream));
}

void use_binary_output(std::FILE* stream) {
  std::fflush(stream);
  _setmode(_fileno(stream), _O_BINARY);
}

}  // namespace platform
