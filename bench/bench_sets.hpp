#pragma once

// What the benchmark measures: sets of inputs (an archive, or the real contents' archives and
// zip), each with the commands that extract it, the tool at -j 1 and at its default job count
// first, and the runs they took.

#include <string>
#include <vector>

#include "bench_archives.hpp"
#include "measurements.hpp"
#include "peers.hpp"
#include "real_contents.hpp"
#include "report.hpp"

namespace darvex::bench {

// The tool's own default job count: one job per hardware thread, at most 16.
unsigned default_jobs();

struct bench_set {
  std::string heading;
  std::vector<std::string> inputs;    // files in the benchmark directory, linked into each run's
  std::vector<contender> contenders;  // the tool at -j 1, then at default jobs, then any peers
  std::vector<timings> results;       // one for each contender
  double output_mib = 0;              // what each contender writes

  const timings& one_job() const { return results.at(0); }
  const timings& default_jobs() const { return results.at(1); }
};

// The tool on one generated archive.
bench_set archive_set(const std::string& tool, const bench_archive& archive, std::size_t runs);
// The tool on the real contents' archives, and each peer on their zip, in a directory of its
// own named after the zip.
bench_set real_contents_set(const std::string& tool, const real_selection& selection, const real_set& real,
                            const std::vector<peer>& peers, std::size_t runs);

// Each command of `set` once, in an order turned by one each run, so that no command always
// follows the same one.
void measure_once(tool_launcher& launcher, const std::string& dir, bench_set& set, int run);

struct floors {
  std::vector<double> zlib, fast, write;
};

// One run of each floor of `archive`.
void measure_floors(const std::string& dir, const bench_archive& archive, int run, unsigned char* buffer, floors& into);

}  // namespace darvex::bench
