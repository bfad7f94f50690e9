#include "set_report.hpp"

#include <algorithm>
#include <cstdio>

namespace darvex::bench {
namespace {

constexpr double PEAK_MIB_TARGET = 40;  // at -j 1 on a generated archive
constexpr double BOUND_TARGET = 1.0;    // peak memory / its bound

void print_timings(const bench_set& set, const std::string& prefix) {
  std::printf("\n%s\n", set.heading.c_str());
  for (std::size_t i = 0; i < set.contenders.size(); ++i) {
    print_timing(prefix + set.contenders[i].label, set.results[i], set.output_mib);
  }
}

double most(const std::vector<double>& values) { return *std::max_element(values.begin(), values.end()); }

void print_peak_memory(const bench_set& set) {
  const std::vector<double>& one_job = set.one_job().peak_mib;
  std::printf(
      "  (m) peak memory: %.1f MiB at -j 1 (%.1f at most, target < %.0f: %s), %.1f MiB at default jobs; "
      "%.0f and %.0f minor faults\n",
      median(one_job), most(one_job), PEAK_MIB_TARGET, most(one_job) < PEAK_MIB_TARGET ? "met" : "MISSED",
      median(set.default_jobs().peak_mib), median(set.one_job().faults), median(set.default_jobs().faults));
}

void add_baseline_ratios(const bench_set& set, std::vector<ratio>& into) {
  const timings* one_job = set.of(contender_role::baseline_one_job);
  const timings* all_jobs = set.of(contender_role::baseline_default);
  if (one_job == nullptr || all_jobs == nullptr) {
    if (set.targets.baseline > 0) {
      std::printf("  (no baseline tool given, by --baseline or DARVEX_BENCH_BASELINE: its ratios are skipped)\n");
    }
    return;
  }
  into.push_back(
      {set.name + ": -j 1 / the baseline's -j 1", set.one_job().time() / one_job->time(), set.targets.baseline});
  into.push_back({set.name + ": default jobs / the baseline's default jobs",
                  set.default_jobs().time() / all_jobs->time(), set.targets.baseline});
}

void add_peer_ratios(const bench_set& set, std::vector<ratio>& into) {
  bool bsdtar_seen = false;
  for (std::size_t i = 0; i < set.contenders.size(); ++i) {
    if (set.contenders[i].role != contender_role::peer) continue;
    const std::string& label = set.contenders[i].label;
    const bool bsdtar = label.rfind("bsdtar", 0) == 0;
    bsdtar_seen = bsdtar_seen || bsdtar;
    into.push_back({set.name + ": default jobs / " + label, set.default_jobs().time() / set.results[i].time(),
                    bsdtar ? set.targets.bsdtar : 0});
  }
  if (!bsdtar_seen && set.targets.bsdtar > 0) {
    std::printf("  (default jobs / bsdtar: not measured, bsdtar is not installed)\n");
  }
}

void add_floor_ratios(const bench_set& set, std::vector<ratio>& into) {
  if (set.floor.empty()) return;
  const double floor = median(set.floor_seconds);
  into.push_back({set.name + ": -j 1 / the floor", set.one_job().time() / floor, 0});
  into.push_back({set.name + ": default jobs / the floor", set.default_jobs().time() / floor, set.targets.floor});
}

// Prints `ratios` and returns those with a target.
std::vector<ratio> print_and_keep_targets(const std::vector<ratio>& ratios) {
  std::vector<ratio> with_targets;
  for (const ratio& r : ratios) {
    print_ratio(r);
    if (r.target > 0) with_targets.push_back(r);
  }
  return with_targets;
}

}  // namespace

ratio parallel_gain(const std::string& set_name, const bench_set& set, double target) {
  return {set_name + ": default jobs / -j 1", set.default_jobs().time() / set.one_job().time(), target};
}

ratio check_memory(const bench_set& set) {
  const double one_job = most(set.one_job().peak_mib);
  const double all_jobs = most(set.default_jobs().peak_mib);
  std::printf(
      "  (m) DarvEx's peak memory, the most of any run, against %s:\n"
      "      %.1f MiB at -j 1, of %s; %.1f MiB at default jobs, of %s\n",
      BOUND_RULE, one_job, describe_bound(set.needs, 1).c_str(), all_jobs,
      describe_bound(set.needs, default_jobs()).c_str());
  return {set.name + ": peak memory / its bound (the higher of the two job counts)",
          std::max(one_job / memory_bound_mib(set.needs, 1), all_jobs / memory_bound_mib(set.needs, default_jobs())),
          BOUND_TARGET};
}

std::vector<ratio> report_archive(const bench_set& set, const floors& measured, const floor_targets& targets,
                                  double gain_target) {
  print_timings(set, "(a) ");
  print_floor("(b) zlib floor, in memory", measured.zlib, set.output_mib);
  print_floor("(c) fast floor, in memory", measured.fast, set.output_mib);
  print_floor("(w) write floor, no inflate", measured.write, set.output_mib);
  print_peak_memory(set);
  const std::vector<ratio> ratios = {parallel_gain(set.name, set, gain_target), check_memory(set)};
  for (const ratio& r : ratios) print_ratio(r);
  const double one = set.one_job().time();
  const double all = set.default_jobs().time();
  const double zlib = median(measured.zlib), fast = median(measured.fast), write = median(measured.write);
  print_ratio_pair("a/b", one / zlib, all / zlib, targets.zlib);
  print_ratio_pair("a/c", one / fast, all / fast, targets.fast);
  print_ratio_pair("a/w", one / write, all / write, targets.write);
  // What the tool adds to inflating and writing done one after the other.
  print_ratio_pair("a/(c+w)", one / (fast + write), all / (fast + write), 0);
  return ratios;
}

std::vector<ratio> report_extraction(const bench_set& set) {
  print_timings(set, "");
  if (!set.floor.empty()) {
    print_floor("(f) floor, " + floor_inflater() + " + write", set.floor_seconds, set.output_mib);
  }
  for (const std::string& note : set.missing_peers) std::printf("  (%s)\n", note.c_str());
  std::vector<ratio> ratios = {check_memory(set), parallel_gain(set.name, set, set.targets.one_job)};
  add_baseline_ratios(set, ratios);
  add_peer_ratios(set, ratios);
  add_floor_ratios(set, ratios);
  return print_and_keep_targets(ratios);
}

std::vector<ratio> report_tree(const bench_set& tree, const bench_set& flat, double target) {
  print_timings(tree, "");
  std::vector<ratio> ratios = {check_memory(tree)};
  print_timings(flat, "");
  ratios.push_back(check_memory(flat));
  ratios.push_back({"T / F at -j 1", tree.one_job().time() / flat.one_job().time(), target});
  ratios.push_back({"T / F at default jobs", tree.default_jobs().time() / flat.default_jobs().time(), target});
  return print_and_keep_targets(ratios);
}

}  // namespace darvex::bench
