#pragma once

// What the system the tool is built for does with names and command-line text. The rest of the
// tool asks these instead of testing the platform itself, so both sides of every choice compile
// everywhere.

#include <string_view>

namespace platform {

#ifdef _WIN32
inline constexpr bool BUILT_FOR_WINDOWS = true;
#else
inline constexpr bool BUILT_FOR_WINDOWS = false;
#endif

// File names that differ only in the case of their letters, beyond ASCII too, name one file (Windows).
inline constexpr bool NAMES_IGNORE_CASE = BUILT_FOR_WINDOWS;

// '\' separates path parts as '/' does (Windows); elsewhere it is a character of a name.
inline constexpr bool BACKSLASH_SEPARATES = BUILT_FOR_WINDOWS;

// The characters that separate the parts of a path on this system.
inline constexpr std::string_view PATH_SEPARATORS = BACKSLASH_SEPARATES ? "/\\" : "/";

// The separator this system's own paths are written with, as messages show them.
inline constexpr char PREFERRED_SEPARATOR = BACKSLASH_SEPARATES ? '\\' : '/';

// The characters that separate path parts on any system the tool runs on: stored names are
// checked and compared with these, so that an archive unpacks to the same files everywhere.
inline constexpr std::string_view ANY_PATH_SEPARATOR = "/\\";

// Windows' name rules apply: device names (CON, NUL.txt, COM1), ':' opening a data stream, and
// trailing dots and spaces dropped from each part.
inline constexpr bool WINDOWS_NAME_RULES = BUILT_FOR_WINDOWS;

// Command-line paths arrive as UTF-8 (converted from the wide command line on Windows), so a
// character may take several bytes; elsewhere they are bytes, one character each.
inline constexpr bool UTF8_COMMAND_LINE = BUILT_FOR_WINDOWS;

}  // namespace platform
