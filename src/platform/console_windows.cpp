// Windows: text for the user. A console is written in UTF-16, so that every name shows as it
// is whatever the console's code page; a file or a pipe gets the bytes an ANSI program writes.

#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "platform/errors_windows.hpp"
#include "platform/platform.hpp"
#include "platform/terminal.hpp"
#include "platform/text_windows.hpp"

namespace platform {
namespace {

// The console behind `stream`, or nullptr when it goes to a file, a pipe or nowhere (a program
// started without that handle, which prepare_process has pointed at the null device).
HANDLE console_of(std::FILE* stream) {
  HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

// Each byte as the character of the same number: for text that did not convert.
std::wstring widened(std::string_view bytes) {
  std::wstring wide;
  for (const char byte : bytes) wide += static_cast<wchar_t>(static_cast<unsigned char>(byte));
  return wide;
}

// `text` with the C1 controls (U+0080 to U+009F, which some code pages give for bytes 0x80 to
// 0x9F) shown as \xNN, as the console shows every other control.
std::wstring c1_escaped(const std::wstring& text) {
  static constexpr wchar_t DIGITS[] = L"0123456789ABCDEF";
  std::wstring shown;
  for (const wchar_t c : text) {
    if (c >= 0x80 && c <= 0x9F) {
      shown += {L'\\', L'x', DIGITS[c >> 4], DIGITS[c & 0xF]};
    } else {
      shown += c;
    }
  }
  return shown;
}

std::wstring wide_for_console(std::string_view text, text_kind kind) {
  if (kind == text_kind::command_line || kind == text_kind::utf8) return wide_from_utf8(text).value_or(widened(text));
  if (kind == text_kind::stored_name) return c1_escaped(wide_from_ansi(text).value_or(widened(text)));
  return widened(text);
}

// Command-line text in the ANSI code page; everything else as it is.
std::string bytes_for_file(std::string_view text, text_kind kind) {
  if (kind != text_kind::command_line) return std::string(text);
  const std::optional<std::wstring> wide = wide_from_utf8(text);
  return wide ? ansi_from_wide(*wide) : std::string(text);
}

}  // namespace

text_stream text_stream_for(std::FILE* file) { return {file, console_of(file) != nullptr}; }

int write_text(const text_stream& stream, std::initializer_list<text_part> parts) {
  // A stream the C runtime left unconnected (the program was started without that handle)
  // takes the text nowhere, as the null device would.
  if (_fileno(stream.file) < 0) return 0;
  if (stream.console) {
    if (std::fflush(stream.file) != 0) return EIO;
    std::wstring wide;
    for (const text_part& part : parts) wide += wide_for_console(part.text, part.kind);
    HANDLE console = GetStdHandle(stream.file == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD written = 0;
    return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) ? 0 : last_errno();
  }
  std::string bytes;
  for (const text_part& part : parts) bytes += bytes_for_file(part.text, part.kind);
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream.file) == bytes.size()) return 0;
  return failed_write_error();
}

}  // namespace platform
