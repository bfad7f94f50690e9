#pragma once

// The sets the benchmark measures, each with its targets: A, B, T and F (generated archives of
// the tool alone), then the sets for extractors side by side (the tiny files, nested and flat,
// against the baseline tool; the real contents and the mixed data against the zip extractors;
// each against the single-thread floor), and their reports.

#include <cstdint>
#include <string>
#include <vector>

#include "bench_sets.hpp"
#include "set_report.hpp"

namespace darvex::bench {

struct real_contents {
  real_selection selection;
  real_set packed;
};

// Selects the real contents and writes them to `dir`.
real_contents write_real_contents(const std::string& dir, std::uint64_t mib);

// The generated archives.
struct generated_archives {
  bench_archive a = make_archive_a(), b = make_archive_b();
  bench_archive tree = make_archive_tree(), flat = make_archive_flat();
  bench_archive tiny_nested = make_tiny_nested(), tiny_flat = make_tiny_flat();

  // Writes them to `dir`, the tiny files as zips too.
  void write_to(const std::string& dir) const;
};

// A, B, T and F, then the sets for extractors side by side: the tiny files (with the baseline
// tool, when `who` has one), the real contents (when there are any; their streams move into the
// set's floor), the mixed data (generated here, `mixed_mib` of it, and written to `dir`).
std::vector<bench_set> make_sets(const extractors& who, const std::string& dir, std::size_t runs,
                                 std::uint64_t mixed_mib, const generated_archives& made, real_contents& real);

// Every set's report, A, B, T and F first, with their floors; returns the ratios with targets.
std::vector<ratio> report_sets(const std::vector<bench_set>& sets, const floors& floors_a, const floors& floors_b);

// Adds `more` at the end of `into`.
void append_ratios(std::vector<ratio>& into, const std::vector<ratio>& more);

}  // namespace darvex::bench
