// The tool runner's deadline: a run that does not end in time is killed, and the test that ran
// it fails with a line that names the program and the deadline.

#include <gtest/gtest.h>

#include <signal.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

TEST(RunTool, KillsARunPastItsDeadline) {
  const scratch_dir dir;
  run_options options;
  options.deadline = std::chrono::seconds{1};
  const struct {
    const char* how;
    std::size_t pipe_bytes;  // stdout a pipe that the runner reads, or a capture file
  } cases[] = {{"stdout to a file", 0}, {"stdout to a pipe", 64}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    options.pipe_bytes = c.pipe_bytes;
    const auto start = std::chrono::steady_clock::now();
    try {
      run_program(dir.path(), {"sh", "-c", "echo $$ >pid; exec sleep 60"}, options);
      ADD_FAILURE() << "the run was not stopped at its deadline";
    } catch (const deadline_passed& passed) {
      EXPECT_STREQ(passed.what(), "sh ran past its 1 s deadline: killed");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds{10});
    // Killed and reaped: no process has its id any more.
    const pid_t sleeper = std::stoi(read_file(dir / "pid"));
    EXPECT_EQ(kill(sleeper, 0), -1);
    EXPECT_EQ(errno, ESRCH);
  }
}

TEST(RunTool, ARunWithinItsDeadlineEndsAsUsual) {
  const scratch_dir dir;
  run_options options;
  options.deadline = std::chrono::seconds{5};
  const tool_result result = run_program(dir.path(), {"sh", "-c", "echo out; echo err >&2; exit 3"}, options);
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.out, "out\n");
  EXPECT_EQ(result.err, "err\n");
}

}  // namespace
}  // namespace darvex::test_support
