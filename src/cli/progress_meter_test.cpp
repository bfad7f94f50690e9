#include <gtest/gtest.h>

#include "cli/progress_meter.hpp"

namespace darvex {
namespace {

constexpr std::uint64_t MIB = 1024 * 1024;

TEST(ProgressMeter, TheLineSaysWhatIsDoneOfTheTotalAndWhatIsLeft) {
  const struct {
    progress_counts done;
    progress_counts total;
    double seconds;
    unsigned columns;
    const char* line;
  } cases[] = {
      {{1234, 120 * MIB + MIB / 2},
       {3500, 412 * MIB + MIB / 2},
       11.8,
       0,
       "1234/3500 entries  120.5/412.5 MiB  29%  10.2 MiB/s  0:29 left"},
      {{0, 0}, {1, 5000}, 0.6, 0, "0/1 entry  0.0/4.9 KiB  0%"},
      {{3, 900}, {3, 900}, 2, 0, "3/3 entries  900/900 B  100%  450 B/s  0:00 left"},
      {{2, 0}, {4, 0}, 1, 0, "2/4 entries  0/0 B  50%"},
      {{1, 3ull << 30}, {2, 6ull << 30}, 1800, 0, "1/2 entries  3.0/6.0 GiB  50%  1.7 MiB/s  30:00 left"},
      {{1, 3ull << 30}, {2, 6ull << 30}, 3600, 0, "1/2 entries  3.0/6.0 GiB  50%  873.8 KiB/s  1:00:00 left"},
      {{1, 3ull << 30}, {2, 6ull << 30}, 1800, 24, "1/2 entries  3.0/6.0 Gi"},
      {{1, MIB}, {2, 2 * MIB}, 0.5, 200, "1/2 entries  1.0/2.0 MiB  50%  2.0 MiB/s  0:01 left"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(progress_line(c.done, c.total, c.seconds, c.columns), c.line);
  }
}

TEST(ProgressMeter, TheSummarySaysWhatWasWrittenInHowLongAndWhatFailed) {
  const struct {
    run_summary summary;
    const char* line;
  } cases[] = {
      {{"written", {3500, 412 * MIB + MIB / 2}, 0, 0, 12.34}, "DarvEx: 3500 entries written, 412.5 MiB in 12.3 s\n"},
      {{"written", {1, 61}, 2, 1, 0.04}, "DarvEx: 1 entry written, 61 B in 0.0 s; 1 failed; 2 kept as they were\n"},
      {{"written to standard output", {0, 0}, 0, 3, 75},
       "DarvEx: 0 entries written to standard output, 0 B in 1:15; 3 failed\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(summary_line(c.summary), c.line);
}

TEST(ProgressMeter, TicksTenTimesASecondAndShowsProgressAfterHalfASecond) {
  using std::chrono::milliseconds;
  const progress_pace::clock::time_point start{};
  progress_pace pace(start);
  const struct {
    int at_ms;
    bool ticks;
    bool shows;
  } steps[] = {
      {50, false, false}, {100, true, false}, {150, false, false}, {199, false, false}, {205, true, false},
      {499, true, false}, {500, false, true}, {620, true, true},   {5000, true, true},  {5050, false, true},
  };
  for (const auto& step : steps) {
    const auto now = start + milliseconds(step.at_ms);
    EXPECT_EQ(pace.tick(now), step.ticks) << step.at_ms;
    EXPECT_EQ(pace.shows_progress(now), step.shows) << step.at_ms;
  }
}

}  // namespace
}  // namespace darvex
