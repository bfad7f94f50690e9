#include "pseudo_terminal.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace darvex::test_support {

pseudo_terminal open_pseudo_terminal(unsigned columns) {
  pseudo_terminal terminal;
  terminal.window = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal.window < 0 || grantpt(terminal.window) != 0 || unlockpt(terminal.window) != 0) {
    if (terminal.window >= 0) close(terminal.window);
    throw std::runtime_error("cannot open a pseudo-terminal");
  }
  const char* name = ptsname(terminal.window);
  terminal.program = name == nullptr ? -1 : open(name, O_RDWR | O_NOCTTY);
  winsize size{};
  size.ws_row = 40;
  size.ws_col = static_cast<unsigned short>(columns);
  if (terminal.program < 0 || ioctl(terminal.window, TIOCSWINSZ, &size) != 0) {
    close(terminal.window);
    if (terminal.program >= 0) close(terminal.program);
    throw std::runtime_error("cannot open the program's end of a pseudo-terminal");
  }
  return terminal;
}

std::optional<std::string> read_terminal(int window, std::chrono::milliseconds pause,
                                         std::chrono::steady_clock::time_point deadline) {
  std::this_thread::sleep_for(pause);
  std::string shown;
  char chunk[4096];
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd readable{window, POLLIN, 0};
    const int ready = poll(&readable, 1, static_cast<int>(left.count()));
    if (ready == 0) return std::nullopt;
    if (ready < 0 && errno == EINTR) continue;
    const ssize_t got = read(window, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return shown;  // EIO: every program's end is closed
    shown.append(chunk, static_cast<std::size_t>(got));
  }
}

}  // namespace darvex::test_support
