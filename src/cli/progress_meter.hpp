#pragma once

// The words and the pace of what a run shows at a terminal while its entries go:
//
//   1234/3500 entries  120.5/412.5 MiB  29%  10.2 MiB/s  0:28 left
//
// drawn once the run has lasted half a second, then at most ten times a second; and once it
// is over, a line that sums it up.

#include <chrono>
#include <cstdint>
#include <string>

namespace darvex {

struct progress_counts {
  std::uint32_t entries = 0;
  std::uint64_t bytes = 0;  // inflated sizes, as the index records them
};

// The progress line for `done` of `total` after `seconds`. With `columns` known (not 0), cut to
// one less, so that the terminal never wraps it.
std::string progress_line(const progress_counts& done, const progress_counts& total, double seconds, unsigned columns);

// What became of a run's entries, for its closing line.
struct run_summary {
  const char* written_where;  // "written", "written to standard output"
  progress_counts written;
  std::uint32_t kept = 0;    // left alone, as -n asks
  std::uint32_t failed = 0;  // refused, damaged or not written
  double seconds = 0;
};

// "DarvEx: 3498 entries written, 412.5 MiB in 12.3 s; 2 failed".
std::string summary_line(const run_summary& summary);

// When a run's held lines are let out and its progress line redrawn: every tenth of a second,
// the progress line only once half a second has passed.
class progress_pace {
 public:
  using clock = std::chrono::steady_clock;

  explicit progress_pace(clock::time_point start) : start_(start), last_tick_(start) {}

  // Whether a tick is due at `now`; a tick that is starts the next tenth of a second.
  bool tick(clock::time_point now);
  // Whether the run has lasted long enough at `now` to show its progress.
  bool shows_progress(clock::time_point now) const { return now - start_ >= SHOW_AFTER; }
  double seconds(clock::time_point now) const { return std::chrono::duration<double>(now - start_).count(); }

 private:
  static constexpr std::chrono::milliseconds SHOW_AFTER{500};
  static constexpr std::chrono::milliseconds TICK_EVERY{100};

  clock::time_point start_;
  clock::time_point last_tick_;
};

}  // namespace darvex
