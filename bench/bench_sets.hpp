#pragma once

// What the benchmark measures: sets of inputs (an archive, or archives and a zip of the same
// entries), each with the commands that extract it (the tool at -j 1 and at its default job
// count first, then the baseline tool at both, then the zip extractors), the single-thread floor
// where the set has one, and the runs they took.

#include <string>
#include <vector>

#include "bench_archives.hpp"
#include "extract_floor.hpp"
#include "measurements.hpp"
#include "memory_bound.hpp"
#include "mixed_set.hpp"
#include "peers.hpp"
#include "real_contents.hpp"
#include "report.hpp"

namespace darvex::bench {

// The tool's own default job count: one job per hardware thread, at most 16.
unsigned default_jobs();

// What a set's figures are held against (0: no target).
struct set_targets {
  double one_job = 0;   // default jobs / -j 1
  double baseline = 0;  // the tool / the baseline tool, at each job count
  double bsdtar = 0;    // default jobs / bsdtar
  double floor = 0;     // default jobs / the single-thread floor
};

struct bench_set {
  std::string name;  // as the ratios name it: "real contents"
  std::string heading;
  std::vector<std::string> inputs;    // files in the benchmark directory, linked into each run's
  std::vector<contender> contenders;  // the tool at -j 1, then at default jobs, then the others
  std::vector<timings> results;       // one for each contender
  double output_mib = 0;              // what each contender writes
  std::vector<std::string> missing_peers;
  std::vector<floor_archive> floor;  // the single-thread floor's input; empty: none with this set
  std::string floor_id;              // names the floor's run directories
  std::vector<double> floor_seconds;
  archive_needs needs;  // what the tool's memory bound is made from
  set_targets targets;
  bool remove_runs = false;  // each run's directory removed once measured

  const timings& one_job() const { return results.at(0); }
  const timings& default_jobs() const { return results.at(1); }
  // The contender of `role` (the first peer for `peer`), or nullptr.
  const timings* of(contender_role role) const;
};

// The tool on one generated archive.
bench_set archive_set(const std::string& tool, const bench_archive& archive, std::size_t runs);

// Archives and a zip of the same entries, in the benchmark directory.
struct set_source {
  std::string name;
  std::string heading;
  std::vector<std::string> archives;
  std::size_t entries = 0;  // in all of them
  std::string zip;
  double output_mib = 0;  // the entries' bytes
};

// Who extracts: the tool, and the tool it is compared with ("": none).
struct extractors {
  std::string tool;
  std::string baseline;
};

// The tool (and the baseline tool, when given) on the archives, and each of `peers` on the zip,
// in a directory of its own named after the zip.
bench_set extraction_set(const set_source& source, const extractors& who, const peer_search& peers);

std::string medians_of(std::size_t runs);
// "archive tiny_flat.dat: 3500 entries of 0 to 2048 bytes, ..."
std::string archive_heading(const bench_archive& archive, std::size_t runs);
// "real contents: 3864 files, ..."
std::string real_heading(const real_selection& selection, const real_set& real, std::size_t runs);

// "mixed data: 3495 entries of ..."
std::string mixed_heading(const mixed_set& mixed, std::size_t runs);

// Reads the memory bound of `set` from its archives in `dir`.
void read_needs(const std::string& dir, bench_set& set);

// Each command of `set` once, and its floor, in an order turned by one each run, so that no
// command always follows the same one. The floor writes through `buffer` (ENTRY_BUFFER_SIZE).
void measure_once(tool_launcher& launcher, const std::string& dir, bench_set& set, int run, unsigned char* buffer);

struct floors {
  std::vector<double> zlib, fast, write;
};

// One run of each floor of `archive`.
void measure_floors(const std::string& dir, const bench_archive& archive, int run, unsigned char* buffer, floors& into,
                    bool remove_runs);

}  // namespace darvex::bench
