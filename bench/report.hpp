#pragma once

// The benchmark's figures and how it prints them: medians with the spread of the runs, rates,
// peak memory, and ratios held against their targets.

#include <string>
#include <vector>

#include "tool_launcher.hpp"

namespace darvex::bench {

double median(std::vector<double> values);

// "a, b, c" from {"a", "b", "c"} and ", ".
std::string joined(const std::vector<std::string>& parts, const char* between);

// Every run of one command.
struct timings {
  std::vector<double> seconds, peak_mib, faults;
  void add(const tool_run& run);
  double time() const { return median(seconds); }
};

// "  DarvEx -j 1   0.4120 s  (0.4050..0.4470)   291.2 MiB/s   peak  27.6 MiB    372 faults"
// (the medians of the peak memory and of the minor page faults)
void print_timing(const std::string& label, const timings& runs, double mib);
// The same for a floor, which has no process and so no peak memory.
void print_floor(const std::string& label, const std::vector<double>& seconds, double mib);

// A ratio of two medians; met when at most `target` (no target when 0).
struct ratio {
  std::string name;
  double value;
  double target = 0;
};

// "  default / -j 1 = 0.61  (target <= 0.65: met)"
void print_ratio(const ratio& r);
// A floor ratio at both job counts, the target held against the default's:
// "  a/b = 1.67 at -j 1, 1.02 at default jobs  (target <= 0.70: MISSED)"
void print_ratio_pair(const std::string& name, double at_one_job, double at_default, double target);

}  // namespace darvex::bench
