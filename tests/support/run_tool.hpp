#pragma once

// Runs the built DarvEx executable as a user would, in a given working directory.
// The executable is $DARVEX_TOOL (or the one this build made); $DARVEX_LAUNCHER, when set,
// runs it (for instance under Wine), and console text then has its "\r\n" turned into "\n";
// a launch that fails without a word from the tool is then tried again. Settings in
// `environment_settings` ("NAME=value") are added to the tool's environment (a locale, for instance).

#include <filesystem>
#include <string>
#include <vector>

namespace darvex::testing {

struct tool_result {
  int status = -1;  // the exit status, or -1 when the tool did not exit normally
  std::string out;
  std::string err;
};

tool_result run_tool(const std::filesystem::path& working_dir, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment_settings = {});

}  // namespace darvex::testing
