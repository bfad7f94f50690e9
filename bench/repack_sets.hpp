#pragma once

// The repack set: the real contents as a folder of 20 folders, packed into an archive by the
// tool (-c at its default jobs and level, and at -j 1) and into a zip by the zip makers
// installed (zip -r -6, bsdtar -c --format zip, 7z a -tzip -mx=5), and packed again unchanged
// with --like from the tool's own archive of it. Every command runs in the benchmark directory
// and writes its archive into a fresh run directory.

#include <cstdint>
#include <string>
#include <vector>

#include "memory_bound.hpp"
#include "real_contents.hpp"
#include "report.hpp"
#include "tool_launcher.hpp"

namespace darvex::bench {

struct repack_folder {
  std::string folder = "P";       // in the benchmark directory
  std::string archive = "P.dat";  // the tool's archive of it, for --like
  std::size_t files = 0;
  std::uint64_t bytes = 0;
  std::size_t left_out = 0;  // the smallest files, past the format's 3,500 entries
};

// Copies the selected files into DIR/P/d00 ... d19 (contiguous runs of the selection, at most
// 3,500 files: the smallest are left out), then packs P.dat from it with the tool.
repack_folder write_repack_folder(tool_launcher& launcher, const std::string& tool, const real_selection& selection,
                                  const std::string& dir);

// One way of making an archive of the folder.
struct maker {
  std::string id;                    // names its run directories
  std::string label;                 // as the report shows it
  std::vector<std::string> command;  // "OUT" stands for the archive it writes
  std::string extension;
};

struct repack_set {
  std::vector<maker> makers;  // the tool: default, -j 1, --like unchanged; then the peers
  std::vector<timings> results;
  std::vector<std::uint64_t> sizes;  // the archive each wrote
  std::vector<std::string> missing;  // peers not installed
  archive_needs needs;               // of the tool's archive of the folder: its memory bound
  bool remove_runs = false;          // each run's directory removed once measured
};

// The makers, and the memory bound read from the tool's archive of the folder in `dir`.
repack_set make_repack_set(const std::string& tool, const repack_folder& folder, const std::string& dir);

// Each command once, in an order turned by one each run.
void measure_repack_once(tool_launcher& launcher, const std::string& dir, repack_set& set, int run);

// The figures, and the targets: -c against the fastest peer, its archive against zip -6's,
// the unchanged repack against -c, the tool's peak memory against its bound. Returns the ratios.
std::vector<ratio> report_repack(const repack_set& set, const repack_folder& folder, std::size_t runs);

}  // namespace darvex::bench
