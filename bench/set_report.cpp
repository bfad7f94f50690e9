#include "set_report.hpp"

#include <algorithm>
#include <cstdio>

namespace darvex::bench {
namespace {

constexpr double PEAK_MIB_TARGET = 40;  // at -j 1 on a generated archive

void print_timings(const bench_set& set, const std::string& prefix) {
  std::printf("\n%s\n", set.heading.c_str());
  for (std::size_t i = 0; i < set.contenders.size(); ++i) {
    print_timing(prefix + set.contenders[i].label, set.results[i], set.output_mib);
  }
}

void print_peak_memory(const bench_set& set) {
  const std::vector<double>& one_job = set.one_job().peak_mib;
  const double most = *std::max_element(one_job.begin(), one_job.end());
  std::printf(
      "  (m) peak memory: %.1f MiB at -j 1 (%.1f at most, target < %.0f: %s), %.1f MiB at default jobs; "
      "%.0f and %.0f minor faults\n",
      median(one_job), most, PEAK_MIB_TARGET, most < PEAK_MIB_TARGET ? "met" : "MISSED",
      median(set.default_jobs().peak_mib), median(set.one_job().faults), median(set.default_jobs().faults));
}

}  // namespace

ratio parallel_gain(const std::string& set_name, const bench_set& set, double target) {
  return {set_name + ": default jobs / -j 1", set.default_jobs().time() / set.one_job().time(), target};
}

void report_archive(const bench_set& set, const floors& measured, const floor_targets& targets, const ratio& gain) {
  print_timings(set, "(a) ");
  print_floor("(b) zlib floor, in memory", measured.zlib, set.output_mib);
  print_floor("(c) fast floor, in memory", measured.fast, set.output_mib);
  print_floor("(w) write floor, no inflate", measured.write, set.output_mib);
  print_peak_memory(set);
  print_ratio(gain);
  const double one = set.one_job().time();
  const double all = set.default_jobs().time();
  const double zlib = median(measured.zlib), fast = median(measured.fast), write = median(measured.write);
  print_ratio_pair("a/b", one / zlib, all / zlib, targets.zlib);
  print_ratio_pair("a/c", one / fast, all / fast, targets.fast);
  print_ratio_pair("a/w", one / write, all / write, targets.write);
  // What the tool adds to inflating and writing done one after the other.
  print_ratio_pair("a/(c+w)", one / (fast + write), all / (fast + write), 0);
}

std::optional<ratio> report_real(const bench_set& set, const std::vector<std::string>& missing_peers, const ratio& gain,
                                 double bsdtar_target) {
  print_timings(set, "");
  for (const std::string& note : missing_peers) std::printf("  (%s)\n", note.c_str());
  print_ratio(gain);
  std::optional<ratio> against_bsdtar;
  for (std::size_t i = 2; i < set.contenders.size(); ++i) {
    const std::string& label = set.contenders[i].label;
    const bool bsdtar = label.rfind("bsdtar", 0) == 0;
    const ratio r{"real contents: default jobs / " + label, set.default_jobs().time() / set.results[i].time(),
                  bsdtar ? bsdtar_target : 0};
    print_ratio(r);
    if (bsdtar) against_bsdtar = r;
  }
  if (!against_bsdtar) std::printf("  default jobs / bsdtar: not measured, bsdtar is not installed\n");
  return against_bsdtar;
}

std::vector<ratio> report_tree(const bench_set& tree, const bench_set& flat, double target) {
  print_timings(tree, "");
  print_timings(flat, "");
  const std::vector<ratio> costs = {
      {"T / F at -j 1", tree.one_job().time() / flat.one_job().time(), target},
      {"T / F at default jobs", tree.default_jobs().time() / flat.default_jobs().time(), target}};
  for (const ratio& cost : costs) print_ratio(cost);
  return costs;
}

}  // namespace darvex::bench
