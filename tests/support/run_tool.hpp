#pragma once

// Runs the built DarvEx executable as a user would, in a given working directory.
// The executable is $DARVEX_TOOL (or the one this build made); $DARVEX_LAUNCHER, when set,
// runs it (for instance under Wine), and console text then has its "\r\n" turned into "\n";
// a launch that fails without a word from the tool is then tried again.

#include <filesystem>
#include <string>
#include <vector>

namespace darvex::testing {

struct tool_result {
  int status = -1;  // the exit status, or -1 when the tool did not exit normally
  std::string out;
  std::string err;
};

// Where the tool's standard output goes; by default, to a capture file of its own.
struct output_routing {
  bool merged = false;         // stderr goes to stdout's capture too, in the order written
  std::string stdout_path;     // stdout goes to this file instead (say /dev/full); `out` stays empty
  std::size_t pipe_bytes = 0;  // when non-zero: stdout is a pipe, closed once this much was read
};

tool_result run_tool(const std::filesystem::path& working_dir, const std::vector<std::string>& args,
                     const output_routing& routing = {});

// The executable under test: $DARVEX_TOOL, or the one this build made.
std::string tool_path();

// Whether the tool under test is a Windows build ($DARVEX_TOOL names an .exe).
bool testing_a_windows_build();

}  // namespace darvex::testing
