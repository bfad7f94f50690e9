#pragma once

// A console of the tool's own, as after a double-click on the executable or a file dropped onto
// it: Windows opened the window for this process alone and closes it the moment the process
// ends, so the run's lines and messages would vanish unread. Such a run ends by waiting for
// Enter. Started from a console (cmd, PowerShell, a Linux shell under Wine) or a script, or with
// standard input or output redirected, the tool never waits.

#include "platform/own_console.hpp"

namespace darvex {

inline constexpr const char* CLOSING_PROMPT = "Press Enter to close this window.";

// Whether the console is the process's own: this process alone is attached to it, another
// Windows process started it (under Wine, a program started from a Linux shell has no such
// parent: the shell's terminal stays open), and both standard input and output are the console.
bool console_is_its_own(const platform::console_facts& facts);

}  // namespace darvex
