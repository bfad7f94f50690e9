#pragma once

// What a run needs to take back the folders it made when it stops: whether a path names
// anything yet, and the removal of a folder that is empty (never of one that is not).

#include <string>

namespace platform {

// Whether anything stands at `path` (command-line text). True as well when the system cannot
// tell, so that nothing is ever taken for a folder of the run's own making by mistake.
bool path_exists(const std::string& path);

// Removes the directory `path` if it is empty. 0, or an errno value (ENOTEMPTY for one that is not).
int remove_empty_directory(const std::string& path);

}  // namespace platform
