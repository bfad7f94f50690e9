#pragma once

// The report of each measured set: every command's figures, then the ratios, each with its
// target where it has one.

#include <vector>

#include "bench_sets.hpp"

namespace darvex::bench {

// The targets of a generated archive's figures, against its floors (0: none).
struct floor_targets {
  double zlib = 0;   // a/b
  double fast = 0;   // a/c
  double write = 0;  // a/w
};

// Default jobs against -j 1 on `set`, with its target.
ratio parallel_gain(const std::string& set_name, const bench_set& set, double target);

// The tool's peak memory at each job count (the most of its runs) against its bound, printed;
// returns the higher of the two ratios, with the target 1.
ratio check_memory(const bench_set& set);

// A generated archive: the tool at both job counts, its floors, its peak memory, the floor
// ratios at both job counts (the targets held against default jobs'). Returns default jobs /
// -j 1 (with `gain_target`) and the memory ratios.
std::vector<ratio> report_archive(const bench_set& set, const floors& measured, const floor_targets& targets,
                                  double gain_target);

// A set made for extractors side by side: every contender and the single-thread floor, the
// peers missing, the peak memory against its bound, and the ratios: default jobs / -j 1, the
// tool / the baseline at each job count, default jobs / each peer, both job counts / the floor.
// Returns those with a target.
std::vector<ratio> report_extraction(const bench_set& set);

// The same entries in folders (`tree`) and flat: both at both job counts, and tree / flat at
// each, with `target`, and both sets' memory ratio.
std::vector<ratio> report_tree(const bench_set& tree, const bench_set& flat, double target);

}  // namespace darvex::bench
