#include "cli/report.hpp"

#include <cstdio>

namespace darvex {
namespace {

// Names come from the archive: keep their control bytes from reaching the terminal.
void put_escaped(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      std::fprintf(stderr, "\\x%02X", byte);
    } else {
      std::fputc(c, stderr);
    }
  }
}

}  // namespace

void report(const problem& failure) {
  std::fflush(stdout);  // keep the order of stdout and stderr lines on a shared terminal
  std::fputs("DarvEx: ", stderr);
  put_escaped(failure.subject);
  std::fputs(": ", stderr);
  put_escaped(failure.reason);
  std::fputc('\n', stderr);
}

}  // namespace darvex
