#pragma once

// Windows: what process_windows.cpp offers beyond process.hpp.

namespace platform {

// Stops recording the console's events as an interrupt: from now on Ctrl-C, Ctrl-Break and
// closing the console end the process at once, as they end any program that does not handle
// them. For a run that is over and only waits.
void let_console_events_end_the_process();

}  // namespace platform
