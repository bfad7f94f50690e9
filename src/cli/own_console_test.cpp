#include <gtest/gtest.h>

#include "cli/own_console.hpp"

namespace darvex {
namespace {

TEST(OwnConsole, OnlyALoneProcessStartedByAnotherWithBothStreamsOnTheConsoleWaits) {
  const struct {
    const char* how_started;
    platform::console_facts facts;
    bool waits;
  } cases[] = {
      {"double-click or drop: a new console, Explorer the parent", {1, true, true, true}, true},
      {"from cmd: cmd shares the console", {2, true, true, true}, false},
      {"from a batch file run by cmd, with a pipe reader too", {3, true, true, true}, false},
      {"under Wine from a Linux shell: no Windows parent", {1, false, true, true}, false},
      {"a new console but standard output to a file", {1, true, true, false}, false},
      {"a new console but standard input from a file", {1, true, false, true}, false},
      {"no console at all (a service, a GUI parent)", {0, true, false, false}, false},
      {"the console's process list not given", {0, true, true, true}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(console_is_its_own(c.facts), c.waits) << c.how_started;
}

}  // namespace
}  // namespace darvex
