// A console's status line is drawn with the console API, which every Windows console since XP
// understands: the line is filled with spaces and the text written from its first column.
// Escape sequences would need a console that handles them, which older ones do not.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <string>

#include "platform/terminal.hpp"

namespace platform {
namespace {

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
