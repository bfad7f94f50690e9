#include "report.hpp"

#include <algorithm>
#include <cstdio>

namespace darvex::bench {
namespace {

constexpr double KIB_PER_MIB = 1024.0;

void print_target(double value, double target) {
  if (target > 0) std::printf("  (target <= %.2f: %s)", target, value <= target ? "met" : "MISSED");
  std::printf("\n");
}

void print_seconds(const std::string& label, const std::vector<double>& seconds, double mib) {
  const auto [low, high] = std::minmax_element(seconds.begin(), seconds.end());
  std::printf("  %-36s %8.4f s  (%.4f..%.4f)  %7.1f MiB/s", label.c_str(), median(seconds), *low, *high,
              mib / median(seconds));
}

}  // namespace

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string joined(const std::vector<std::string>& parts, const char* between) {
  std::string all;
  for (const std::string& part : parts) all += (all.empty() ? "" : between) + part;
  return all;
}

void timings::add(const tool_run& run) {
  seconds.push_back(run.seconds);
  peak_mib.push_back(static_cast<double>(run.peak_kib) / KIB_PER_MIB);
  faults.push_back(static_cast<double>(run.minor_faults));
}

void print_timing(const std::string& label, const timings& runs, double mib) {
  print_seconds(label, runs.seconds, mib);
  std::printf("   peak %6.1f MiB  %7.0f faults\n", median(runs.peak_mib), median(runs.faults));
}

void print_floor(const std::string& label, const std::vector<double>& seconds, double mib) {
  print_seconds(label, seconds, mib);
  std::printf("\n");
}

void print_ratio(const ratio& r) {
  std::printf("  %s = %.2f", r.name.c_str(), r.value);
  print_target(r.value, r.target);
}

void print_ratio_pair(const std::string& name, double at_one_job, double at_default, double target) {
  std::printf("  %s = %.2f at -j 1, %.2f at default jobs", name.c_str(), at_one_job, at_default);
  print_target(at_default, target);
}

}  // namespace darvex::bench
