#pragma once

// A pseudo-terminal, as a terminal window gives the program it runs: the program's end, which
// isatty() takes for a terminal, and the window's end, which reads what the terminal shows
// (with "\n" shown as "\r\n", as terminals do). POSIX only.

#include <chrono>
#include <optional>
#include <string>

namespace darvex::test_support {

struct pseudo_terminal {
  int window = -1;   // the master: what the terminal shows is read here
  int program = -1;  // the slave: the program's standard output or error
};

// Opens a pseudo-terminal `columns` wide. Throws when the system has none to give.
pseudo_terminal open_pseudo_terminal(unsigned columns);

// Everything the terminal shows until the program's end closes, read after a pause of `pause`
// in which nothing is read (a slow terminal, whose writer waits); nothing when `deadline`
// comes first.
std::optional<std::string> read_terminal(int window, std::chrono::milliseconds pause,
                                         std::chrono::steady_clock::time_point deadline);

}  // namespace darvex::test_support
