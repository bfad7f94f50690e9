// Measures the tool at one job and at its default job count, side by side, on these sets:
//   A and B, generated archives, against the tool's physical floors:
//     (a) the whole tool, files and all;   (b) zlib alone inflating the same spans in memory;
//     (c) the fast inflater doing the same; (w) writing the same files from memory;
//   T and F, the same small entries in folders and flat;
//   the tiny files, nested and flat, against a baseline tool (an earlier build of the tool, when
//   one is given) and the zip extractors installed here;
//   the real contents, files from this machine, and the mixed data, generated, against the zip
//   extractors extracting the same contents packed as a zip;
//   the repack set: the real contents as a folder packed by -c (and repacked unchanged with
//   --like) against the zip makers installed here (repack_sets.hpp);
// with the single-thread floor (extract_floor.hpp) on the tiny files, the real contents and the
// mixed data, and the peak memory of every command, the tool's against its bound. Each figure
// is the median of RUNS runs taken in turn (every command once, then again), since the machines
// it runs on are shared and noisy. It first prints what a page fault costs here.
//
//   darvex_bench [--baseline OLD_TOOL] TOOL DIR [RUNS [REAL_MIB [MIXED_MIB]]]
//       RUNS defaults to 9 (fewer is a smoke run), REAL_MIB, the real contents' size, to 120,
//       MIXED_MIB, the mixed data's, to DARVEX_BENCH_MIXED_MIB or 1536; OLD_TOOL to
//       DARVEX_BENCH_BASELINE (none: the ratios against it are skipped)
//   darvex_bench --write-real DIR [REAL_MIB]  only writes the real contents to DIR

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "fault_cost.hpp"
#include "format/archive.hpp"
#include "format/inflate.hpp"
#include "repack_sets.hpp"
#include "set_list.hpp"

namespace darvex::bench {
namespace {

constexpr long DEFAULT_RUNS = 9;
constexpr int FEWEST_MEDIAN_RUNS = 9;
constexpr long DEFAULT_REAL_MIB = 120;
constexpr long DEFAULT_MIXED_MIB = 1536;
constexpr std::uint64_t MOST_MIXED_MIB = 3072;  // each archive and the zip stay under 4 GiB
constexpr double MIB = 1024.0 * 1024.0;

struct bench_options {
  std::string tool;
  std::string dir;
  std::string baseline;  // "" when none
  int runs = DEFAULT_RUNS;
  std::uint64_t real_mib = DEFAULT_REAL_MIB;
  std::uint64_t mixed_mib = DEFAULT_MIXED_MIB;
};

double load_average() {
  double load = 0;
  return getloadavg(&load, 1) == 1 ? load : -1;
}

void say_baseline(const std::string& baseline) {
  if (baseline.empty()) {
    std::printf(
        "No baseline tool given (--baseline OLD_TOOL or DARVEX_BENCH_BASELINE): the tiny files are not held "
        "against it.\n");
  } else {
    if (access(baseline.c_str(), X_OK) != 0) throw std::runtime_error("the baseline " + baseline + " cannot be run");
    std::printf("Baseline tool: %s (the tiny files' targets are held against it)\n", baseline.c_str());
  }
}

void say_how_it_runs(int runs, bool remove_runs) {
  std::printf("Inflater: %s. Default jobs: %u. Run directories %s. Load average before: %.2f\n",
              inflater_name().c_str(), default_jobs(),
              remove_runs ? "on tmpfs, removed once measured"
                          : "not on tmpfs (where the targets are measured), kept until the end",
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

int run(const bench_options& options) {
  const auto start = std::chrono::steady_clock::now();
  tool_launcher launcher;  // before the archives fill memory
  std::printf("%s\n", describe_fault_cost(measure_fault_cost()).c_str());
  say_baseline(options.baseline);
  const std::string& dir = options.dir;
  remove_run_dirs(dir);
  std::filesystem::create_directories(dir);
  const bool remove_runs = on_tmpfs(dir);
  real_contents real = write_real_contents(dir, options.real_mib);
  const bool with_real = real.packed.files > 0;
  const repack_folder folder = write_repack_folder(launcher, options.tool, real.selection, dir);
  repack_set repack = make_repack_set(options.tool, folder, dir);
  repack.remove_runs = remove_runs;
  const generated_archives made;
  made.write_to(dir);
  std::vector<bench_set> sets = make_sets({options.tool, options.baseline}, dir, static_cast<std::size_t>(options.runs),
                                          options.mixed_mib, made, real);
  say_how_it_runs(options.runs, remove_runs);

  // The floors' one reused buffer, as large as the tool's entry buffer.
  const std::unique_ptr<unsigned char[]> buffer(new unsigned char[ENTRY_BUFFER_SIZE]);
  floors floors_a, floors_b;
  for (int i = 0; i < options.runs; ++i) {
    for (bench_set& set : sets) measure_once(launcher, dir, set, i, buffer.get());
    measure_floors(dir, made.a, i, buffer.get(), floors_a, remove_runs);
    measure_floors(dir, made.b, i, buffer.get(), floors_b, remove_runs);
    if (with_real) measure_repack_once(launcher, dir, repack, i);
  }
  remove_run_dirs(dir);

  std::vector<ratio> targets = report_sets(sets, floors_a, floors_b);
  if (with_real) {
    append_ratios(targets, report_repack(repack, folder, static_cast<std::size_t>(options.runs)));
  } else {
    std::printf("\nreal contents: no files under %s: skipped\n", joined(REAL_ROOTS, ", ").c_str());
  }
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
               "usage: darvex_bench [--baseline OLD_TOOL] TOOL DIR [RUNS [REAL_MIB [MIXED_MIB]]]\n"
               "       darvex_bench --write-real DIR [REAL_MIB]\n");
  return 2;
}

// A whole number of at least 1 from `text`, or `fallback` when there is none.
long number_or(const char* text, long fallback) {
  return text != nullptr && *text != '\0' ? std::max(std::atol(text), 1L) : fallback;
}

std::string environment_or(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

}  // namespace
}  // namespace darvex::bench

int main(int argc, char** argv) {
  using namespace darvex::bench;
  std::vector<std::string> args(argv + 1, argv + argc);
  // Absolute, since the commands run inside run directories.
  const auto absolute = [](const std::string& path) { return std::filesystem::absolute(path).string(); };
  const auto number_at = [&args](std::size_t at, long fallback) {
    return args.size() > at ? number_or(args[at].c_str(), fallback) : fallback;
  };
  try {
    if (args.size() >= 2 && args[0] == "--write-real") {
      return write_real_only(absolute(args[1]), static_cast<std::uint64_t>(number_at(2, DEFAULT_REAL_MIB)));
    }
    bench_options options;
    options.baseline = environment_or("DARVEX_BENCH_BASELINE", "");
    if (args.size() >= 2 && args[0] == "--baseline") {
      options.baseline = args[1];
      args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() < 2 || args[0].rfind("--", 0) == 0) return usage();
    if (!options.baseline.empty()) options.baseline = absolute(options.baseline);
    options.tool = absolute(args[0]);
    options.dir = absolute(args[1]);
    options.runs = static_cast<int>(number_at(2, DEFAULT_RUNS));
    options.real_mib = static_cast<std::uint64_t>(number_at(3, DEFAULT_REAL_MIB));
    const long mixed_default = number_or(std::getenv("DARVEX_BENCH_MIXED_MIB"), DEFAULT_MIXED_MIB);
    options.mixed_mib = std::min(static_cast<std::uint64_t>(number_at(4, mixed_default)), MOST_MIXED_MIB);
    return run(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "darvex_bench: %s\n", error.what());
    return 1;
  }
}
