#pragma once

// The report of each measured set: every command's figures, then the ratios, each with its
// target where it has one.

#include <optional>
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

// A generated archive: the tool at both job counts, its floors, its peak memory, `gain` and the
// floor ratios at both job counts (the targets held against default jobs').
void report_archive(const bench_set& set, const floors& measured, const floor_targets& targets, const ratio& gain);

// The real contents: the tool at both job counts and each peer, the peers missing, `gain`, and
// default jobs against each peer. Returns the ratio against bsdtar, if it was measured.
std::optional<ratio> report_real(const bench_set& set, const std::vector<std::string>& missing_peers, const ratio& gain,
                                 double bsdtar_target);

// The same entries in folders (`tree`) and flat: both at both job counts, and tree / flat at
// each, with `target`.
std::vector<ratio> report_tree(const bench_set& tree, const bench_set& flat, double target);

}  // namespace darvex::bench
