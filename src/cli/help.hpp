#pragma once

#include <string>

namespace darvex {

// The full help of -h: options, exit statuses and examples.
const char* help_text();

// What -V prints: the tool's version, the inflater in use and zlib's version.
std::string version_text();

}  // namespace darvex
