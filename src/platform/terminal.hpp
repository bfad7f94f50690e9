#pragma once

// Standard output and error as a person at a terminal sees them, or as raw bytes for a program
// that reads them: whether a stream is a terminal (a console on Windows), how wide it is, one
// status line redrawn in place on it, and standard output in binary mode.

#include <cstdio>
#include <string_view>

#include "platform/platform.hpp"

namespace platform {

// Makes `stream` pass bytes as they are: on Windows no "\r" before each "\n" and no end at
// Ctrl-Z; elsewhere streams already do.
void use_binary_output(std::FILE* stream);

}  // namespace platform
