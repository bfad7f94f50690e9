#pragma once

// The console a process was given, as far as it tells whether that console is the process's
// own: a window that Windows opened for it alone (a double-click on the executable, a file
// dropped onto it), which closes the moment the process ends, taking its text along.

#include <string_view>

namespace platform {

struct console_facts {
  unsigned attached_processes = 0;    // processes attached to the console, this one included; 0: none
  bool started_by_a_process = false;  // a Windows process started this one (under Wine, a Linux shell is none)
  bool input_is_console = false;      // standard input is the console, not a file or a pipe
  bool output_is_console = false;     // standard output is the console
};

#ifdef _WIN32
// The facts as the system gives them now.
console_facts read_console_facts();

// Shows `prompt` on the console, on a line of its own, and waits until Enter is pressed, the
// console's input ends or Ctrl-C is pressed. Closing the window meanwhile ends the process at
// once.
void wait_for_enter(std::string_view prompt);
#endif

}  // namespace platform
