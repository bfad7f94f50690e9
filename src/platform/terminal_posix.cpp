#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/terminal.hpp"

namespace platform {
namespace {

constexpr std::string_view LINE_START = "\r\x1B[K";  // to the line's start, then erase to its end

int write_now(const text_stream& stream, std::string_view bytes) {
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream.file) != bytes.size()) return failed_write_error();
  return std::fflush(stream.file) == 0 ? 0 : failed_write_error();
}

}  // namespace

int failed_write_error() { return errno != 0 ? errno : EIO; }

bool is_terminal(const text_stream& stream) { return isatty(fileno(stream.file)) == 1; }

unsigned terminal_columns(const text_stream& stream) {
  winsize size{};
  if (ioctl(fileno(stream.file), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

int show_status_line(const text_stream& stream, std::string_view text) {
  std::string line(LINE_START);
  line += text;
  return write_now(stream, line);
}

int clear_status_line(const text_stream& stream) { return write_now(stream, LINE_START); }

int write_bytes(std::FILE* stream, const void* data, std::size_t length) {
  errno = 0;
  return std::fwrite(data, 1, length, stream) == length ? 0 : failed_write_error();
}

void use_binary_output(std::FILE*) {}

}  // namespace platform
