#pragma once

// Windows' errors as errno values, so that one message helper names every failure: system
// error codes (GetLastError) and the status codes of the native calls.

#include <windows.h>

namespace platform {

// The errno value nearest to the system error `error`; EIO for one without a near match.
int errno_from(DWORD error);

// errno_from(GetLastError()).
int last_errno();

}  // namespace platform
