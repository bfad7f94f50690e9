#pragma once

// Runs the built DarvEx executable as a user would, in a given working directory.
// The executable is $DARVEX_TOOL (or the one this build made). $DARVEX_LAUNCHER, when set, runs
// it; a Windows build (an .exe) is run by default under the wine64 that the configure step
// found (DARVEX_WINE64). Under a launcher, console text has its "\r\n" turned into "\n", and a
// launch that fails without a word from the tool is tried again. Settings in
// `environment_settings` ("NAME=value") are added to the tool's environment (a locale, for
// instance). A run that has not ended by its deadline is killed, and run_tool throws
// deadline_passed, which fails the test that ran it with a line that says so.

#include <chrono>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace darvex::test_support {

struct tool_result {
  int status = -1;  // the exit status, or -1 when the tool did not exit normally
  std::string out;  // in a terminal (run_options::in_terminal): what the terminal showed, err empty
  std::string err;
  int signal = 0;          // the signal that ended the tool, or 0
  bool signalled = false;  // run_options::signal_when said so, and the run was sent its signal
};

// Thrown when a run passes its deadline, after the program was killed: "DarvEx ran past its
// 60 s deadline: killed".
struct deadline_passed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// How the tool is run. By default its stdout and stderr go to capture files of their own.
struct run_options {
  std::chrono::seconds deadline{60};     // the run is killed when it takes longer
  bool merged = false;                   // stderr goes to stdout's capture too, in the order written
  std::string stdout_path;               // stdout goes to this file instead (say /dev/full); `out` stays empty
  std::size_t pipe_bytes = 0;            // when non-zero: stdout is a pipe, closed once this much was read
  std::vector<std::string> environment;  // NAME=value settings for the tool's environment
  std::function<bool()> signal_when;     // asked while the run lasts: once true, the run is sent `signal`
  int signal = 0;
  // When non-zero: stdout (unless stdout_path says otherwise) and stderr are a terminal this
  // wide, a pseudo-terminal (POSIX only), which reads nothing for terminal_pause first.
  unsigned terminal_columns = 0;
  std::chrono::milliseconds terminal_pause{0};

  static run_options merging_streams() {
    run_options options;
    options.merged = true;
    return options;
  }
  static run_options stdout_to(std::string path) {
    run_options options;
    options.stdout_path = std::move(path);
    return options;
  }
  static run_options pipe_closed_after(std::size_t bytes) {
    run_options options;
    options.pipe_bytes = bytes;
    return options;
  }
  static run_options in_terminal(unsigned columns, std::chrono::milliseconds pause = {}) {
    run_options options;
    options.terminal_columns = columns;
    options.terminal_pause = pause;
    return options;
  }
  static run_options with_environment(std::vector<std::string> settings) {
    run_options options;
    options.environment = std::move(settings);
    return options;
  }
  static run_options killed_when(std::function<bool()> condition);       // SIGKILL
  static run_options interrupted_when(std::function<bool()> condition);  // SIGINT, as Ctrl-C sends
  static run_options signalled_when(int signal, std::function<bool()> condition);
  static run_options signalled_after(int signal, std::chrono::milliseconds delay);  // after the run starts
};

tool_result run_tool(const std::filesystem::path& working_dir, const std::vector<std::string>& args,
                     const run_options& options = {});

// Runs `command` (a program, found on PATH, and its arguments) as run_tool runs the tool, with
// no launcher: for the test support's own tests.
tool_result run_program(const std::filesystem::path& working_dir, const std::vector<std::string>& command,
                        const run_options& options = {});

// The executable under test: $DARVEX_TOOL, or the one this build made.
std::string tool_path();

// Whether the tool under test is a Windows build ($DARVEX_TOOL names an .exe).
bool testing_a_windows_build();

// `path` ("in/sub/a.bin") as the tool under test names a file in its messages: with '\' between
// the parts in a Windows build.
std::string as_shown(std::string path);

// The program that runs the tool: $DARVEX_LAUNCHER, or for a Windows build the wine64 that the
// configure step found; empty when the tool runs by itself.
std::string launcher_path();

// Whether the tool runs inside another program ($DARVEX_LAUNCHER, as qemu-i386 runs a 32-bit
// build, or Wine a Windows build): what is preloaded or traced reaches that program, not the tool.
bool runs_under_a_launcher();

#ifdef DARVEX_READ_COUNTER_PATH
// What one run did, as the read counter preloaded into it (read_counter.cpp) counts: its reads
// of any file and the bytes they brought, and its opens of names ending in `open_suffix`.
struct counted_run_result {
  tool_result run;
  unsigned long reads = 0;
  unsigned long long bytes = 0;
  unsigned long opens = 0;
};
counted_run_result counted_run(const std::filesystem::path& dir, const std::vector<std::string>& args,
                               const std::string& open_suffix = "");
#endif

// Whether this build, and so the tool it tests, runs under a sanitizer, which reserves address
// space and refuses a preloaded library.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool SANITIZED = true;
#else
inline constexpr bool SANITIZED = false;
#endif

}  // namespace darvex::test_support
