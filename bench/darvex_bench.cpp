// Measures the tool at one job and at its default job count, side by side, on three sets:
//   A and B, generated archives, against the tool's physical floors:
//     (a) the whole tool, files and all;   (b) zlib alone inflating the same spans in memory;
//     (c) the fast inflater doing the same; (w) writing the same files from memory;
//   the real contents, files from this machine, against the zip extractors installed here
//   extracting the same contents packed as a zip;
//   the repack set: the real contents as a folder packed by -c (and repacked unchanged with
//   --like) against the zip makers installed here (repack_sets.hpp);
// with the peak memory of every command. Each figure is the median of RUNS runs taken in turn
// (every command once, then again), since the machines it runs on are shared and noisy.
//
//   darvex_bench TOOL DIR [RUNS [REAL_MIB]]   RUNS defaults to 7 (fewer than 5 is a smoke run),
//                                             REAL_MIB, the real contents' size, to 120
//   darvex_bench --write-real DIR [REAL_MIB]  only writes the real contents to DIR

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>

#include "bench_sets.hpp"
#include "format/archive.hpp"
#include "format/inflate.hpp"
#include "repack_sets.hpp"
#include "set_report.hpp"

namespace darvex::bench {
namespace {

constexpr long DEFAULT_RUNS = 7;
constexpr int FEWEST_MEDIAN_RUNS = 5;
constexpr long DEFAULT_REAL_MIB = 120;
constexpr double MIB = 1024.0 * 1024.0;

// The parallel pipeline's targets.
constexpr double PARALLEL_GAIN_TARGET = 0.65;  // default jobs / -j 1 on A and on the real contents
constexpr double NOISE_TARGET = 1.05;          // on B: no slower than -j 1, within 5%
constexpr double BSDTAR_TARGET = 0.40;         // default jobs / bsdtar on the real contents
// T against F, at both job counts: making and entering folders costs little.
constexpr double TREE_TARGET = 1.15;
// The tool against its floors, at default jobs.
constexpr floor_targets A_FLOOR_TARGETS = {0.7, 1.4, 0};
constexpr floor_targets B_FLOOR_TARGETS = {0, 0, 1.25};

double load_average() {
  double load = 0;
  return getloadavg(&load, 1) == 1 ? load : -1;
}

struct real_contents {
  real_selection selection;
  real_set packed;
};

// Selects the real contents and writes them to `dir`.
real_contents write_real_contents(const std::string& dir, std::uint64_t mib) {
  std::printf("Selecting about %llu MiB of files under %s and writing them to %s ...\n",
              static_cast<unsigned long long>(mib), joined(REAL_ROOTS, ", ").c_str(), dir.c_str());
  std::fflush(stdout);
  real_contents made{select_real_files(REAL_ROOTS, mib * 1024 * 1024), {}};
  made.packed = pack_real_files(made.selection, dir);
  return made;
}

void say_how_it_runs(int runs) {
  std::printf("Inflater: %s. Default jobs: %u. Load average before: %.2f\n", inflater_name().c_str(), default_jobs(),
              load_average());
  if (runs < FEWEST_MEDIAN_RUNS) {
    std::printf("A smoke run: %d run%s of each command, too few for figures to keep (take at least %d).\n", runs,
                runs == 1 ? "" : "s", FEWEST_MEDIAN_RUNS);
  }
  std::fflush(stdout);
}

void print_targets(const std::vector<ratio>& targets) {
  std::printf("\nTargets (on B, \"no slower than -j 1\" within 5%%):\n");
  for (const ratio& r : targets) print_ratio(r);
}

int run(const std::string& tool, const std::string& dir, int runs, std::uint64_t real_mib) {
  const auto start = std::chrono::steady_clock::now();
  tool_launcher launcher;  // before the archives fill memory
  remove_run_dirs(dir);
  std::filesystem::create_directories(dir);
  const real_contents real = write_real_contents(dir, real_mib);
  const peer_search peers = find_peers("../" + real.packed.zip);
  std::printf("Writing the benchmark archives A and B to %s ...\n", dir.c_str());
  std::fflush(stdout);
  const repack_folder folder = write_repack_folder(launcher, tool, real.selection, dir);
  repack_set repack = make_repack_set(tool, folder);
  const bench_archive a = make_archive_a();
  const bench_archive b = make_archive_b();
  const bench_archive tree = make_archive_tree();
  const bench_archive flat = make_archive_flat();
  for (const bench_archive* archive : {&a, &b, &tree, &flat}) archive->archive.write_to(dir + "/" + archive->file_name);
  say_how_it_runs(runs);

  const auto count = static_cast<std::size_t>(runs);
  const bool with_real = real.packed.files > 0;
  bench_set set_a = archive_set(tool, a, count);
  bench_set set_b = archive_set(tool, b, count);
  bench_set set_real = real_contents_set(tool, real.selection, real.packed, peers.found, count);
  bench_set set_tree = archive_set(tool, tree, count);
  bench_set set_flat = archive_set(tool, flat, count);
  // The floors' one reused buffer, as large as the tool's entry buffer.
  const std::unique_ptr<unsigned char[]> buffer(new unsigned char[ENTRY_BUFFER_SIZE]);
  floors floors_a, floors_b;
  for (int i = 0; i < runs; ++i) {
    measure_once(launcher, dir, set_a, i);
    measure_floors(dir, a, i, buffer.get(), floors_a);
    measure_once(launcher, dir, set_b, i);
    measure_floors(dir, b, i, buffer.get(), floors_b);
    if (with_real) measure_once(launcher, dir, set_real, i);
    measure_once(launcher, dir, set_tree, i);
    measure_once(launcher, dir, set_flat, i);
    if (with_real) measure_repack_once(launcher, dir, repack, i);
  }
  remove_run_dirs(dir);

  std::vector<ratio> targets = {parallel_gain("A", set_a, PARALLEL_GAIN_TARGET),
                                parallel_gain("B", set_b, NOISE_TARGET)};
  report_archive(set_a, floors_a, A_FLOOR_TARGETS, targets[0]);
  report_archive(set_b, floors_b, B_FLOOR_TARGETS, targets[1]);
  if (with_real) {
    targets.push_back(parallel_gain("real contents", set_real, PARALLEL_GAIN_TARGET));
    if (auto against_bsdtar = report_real(set_real, peers.missing, targets.back(), BSDTAR_TARGET)) {
      targets.push_back(*against_bsdtar);
    }
    for (const ratio& r : report_repack(repack, folder, count)) targets.push_back(r);
  } else {
    std::printf("\nreal contents: no files under %s: skipped\n", joined(REAL_ROOTS, ", ").c_str());
  }
  const std::vector<ratio> tree_costs = report_tree(set_tree, set_flat, TREE_TARGET);
  targets.insert(targets.end(), tree_costs.begin(), tree_costs.end());
  print_targets(targets);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("\nLoad average after: %.2f. The benchmark took %.0f s.\n", load_average(), seconds);
  return 0;
}

int write_real_only(const std::string& dir, std::uint64_t real_mib) {
  std::filesystem::create_directories(dir);
  const real_set real = write_real_contents(dir, real_mib).packed;
  std::printf("Wrote %zu files (%.1f MiB) as %s\n", real.files, static_cast<double>(real.bytes) / MIB,
              joined(real.archives, " ").c_str());
  return real.files > 0 ? 0 : 1;
}

int usage() {
  std::fprintf(stderr,
               "usage: darvex_bench TOOL DIR [RUNS [REAL_MIB]]\n"
               "       darvex_bench --write-real DIR [REAL_MIB]\n");
  return 2;
}

}  // namespace
}  // namespace darvex::bench

int main(int argc, char** argv) {
  using namespace darvex::bench;
  const std::vector<std::string> args(argv + 1, argv + argc);
  // Absolute, since the commands run inside run directories.
  const auto absolute = [](const std::string& path) { return std::filesystem::absolute(path).string(); };
  const auto number_at = [&args](std::size_t at, long fallback) {
    return args.size() > at ? std::max(std::atol(args[at].c_str()), 1L) : fallback;
  };
  try {
    if (args.size() >= 2 && args[0] == "--write-real") {
      return write_real_only(absolute(args[1]), static_cast<std::uint64_t>(number_at(2, DEFAULT_REAL_MIB)));
    }
    if (args.size() < 2 || args[0].rfind("--", 0) == 0) return usage();
    return run(absolute(args[0]), absolute(args[1]), static_cast<int>(number_at(2, DEFAULT_RUNS)),
               static_cast<std::uint64_t>(number_at(3, DEFAULT_REAL_MIB)));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "darvex_bench: %s\n", error.what());
    return 1;
  }
}
