#pragma once

#include <string>
#include <vector>

namespace darvex {

// The whole tool, given the arguments that follow the program's name: the usage text, help,
// version, or a command on each archive in turn. Returns the process's exit status.
int run_front_end(const std::vector<std::string>& args);

}  // namespace darvex
