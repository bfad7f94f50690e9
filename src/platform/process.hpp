#pragma once

// What the process sets up before it works, and the interrupts it hears while it does.

#include <functional>

namespace platform {

// Prepares the process: any of the standard descriptors 0, 1 and 2 that is closed is opened on
// the null device, so that no file the tool opens takes its number and receives its messages;
// a closed pipe or a file-size limit makes a write fail instead of ending the process; and
// interrupts (SIGINT, SIGTERM, SIGHUP; on Windows Ctrl-C, Ctrl-Break and closing the console)
// are only recorded, for the run to notice between entries; and large blocks of memory go back
// to the system when freed.
void prepare_process();

// The signal that asked the run to stop (SIGINT is 2; Windows' console events count as 2), or 0.
int interrupting_signal();

// Whether an interrupt asked the run to stop.
inline bool interrupted() { return interrupting_signal() != 0; }

// Asked between pieces of work (an entry to extract, a piece of an archive to make), from any
// of the run's threads: true once the run is to stop. Work in flight is finished; the rest is
// not started. A function object, so that a run driven by a library call can stop on its
// caller's word without touching another run's.
using stop_check = std::function<bool()>;

inline bool never_stop() { return false; }

}  // namespace platform
