#pragma once

// Runs the Windows build under Wine as a double-click leaves it: alone on a console that a
// Windows process gave it. `wine64 start /b /d DIR /unix DarvEx.exe ARGS` runs in a new
// pseudo-terminal that is its session's terminal and its standard input, output and error: Wine
// makes that terminal the console, and start.exe, the tool's Windows parent, leaves it at once.
// POSIX only.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace darvex::test_support {

struct console_session {
  std::string shown;    // what the console showed, escape sequences and blanks left out
  bool waited = false;  // the tool showed `awaited` and was still there a second later
  bool closed = false;  // after Enter was typed, the console closed (the tool ended)
};

// Runs the tool with `args` in `working_dir`, reads what the console shows until it shows
// `awaited` (compared without blanks), checks that it stays a second, types Enter and reads on
// until the console closes, each step within `deadline`.
console_session run_in_own_console(const std::filesystem::path& working_dir, const std::vector<std::string>& args,
                                   const std::string& awaited,
                                   std::chrono::seconds deadline = std::chrono::seconds(60));

// `text` without escape sequences, blanks and line ends: what a console showed, comparable
// whatever way its terminal drew it.
std::string without_layout(const std::string& text);

}  // namespace darvex::test_support
