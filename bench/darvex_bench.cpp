// Measures the tool against its physical floors on the benchmark archives A and B:
//   (a) the whole tool, files and all;   (b) zlib alone inflating the same spans in memory;
//   (c) the fast inflater doing the same; (w) writing the same files from memory;
//   (m) the tool's peak memory.
// Each figure is the median of RUNS runs taken in turn (tool, floors, tool, ...), since the
// machines it runs on are shared and noisy.
//
//   darvex_bench TOOL DIR [RUNS]     (RUNS defaults to 7, at least 5)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "archive/archive.hpp"
#include "archive/inflate.hpp"
#include "bench_archives.hpp"
#include "measurements.hpp"

namespace darvex::bench {
namespace {

constexpr int DEFAULT_RUNS = 7;
constexpr int FEWEST_RUNS = 5;

struct samples {
  std::vector<double> tool, zlib, fast, write, peak_mib, faults;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// "0.412 s (0.405..0.447)": the median and the spread of the runs.
void print_time(const char* what, const std::vector<double>& values, double mib) {
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  std::printf("  %-34s %8.4f s  (%.4f..%.4f)  %7.1f MiB/s\n", what, median(values), *low, *high,
              mib / median(values));
}

void print_ratio(const char* name, double ratio, double target) {
  if (target > 0) {
    std::printf("  %s = %.2f  (target <= %.2f: %s)\n", name, ratio, target, ratio <= target ? "met" : "MISSED");
  } else {
    std::printf("  %s = %.2f\n", name, ratio);
  }
}

void report(const bench_archive& archive, const samples& s, double target_a_b, double target_a_c,
            double target_a_w) {
  const double mib = static_cast<double>(archive.output_bytes()) / (1024.0 * 1024.0);
  const auto [smallest, largest] = std::minmax_element(
      archive.contents.begin(), archive.contents.end(),
      [](const std::string& x, const std::string& y) { return x.size() < y.size(); });
  std::printf("\narchive %s: %zu entries of %zu to %zu bytes, %.1f MiB compressed, %.1f MiB written "
              "(entries and table.bin); medians of %zu runs (min..max)\n",
              archive.file_name.c_str(), archive.contents.size(), smallest->size(), largest->size(),
              static_cast<double>(archive.archive.stream_offsets().back()) / (1024.0 * 1024.0), mib,
              s.tool.size());
  print_time("(a) the tool, files and all", s.tool, mib);
  print_time("(b) zlib floor, in memory", s.zlib, mib);
  print_time("(c) fast floor, in memory", s.fast, mib);
  print_time("(w) write floor, no inflate", s.write, mib);
  const auto peak = std::max_element(s.peak_mib.begin(), s.peak_mib.end());
  std::printf("  (m) the tool's peak memory: %.1f MiB median, %.1f MiB at most (target < 40); "
              "%.0f minor faults\n", median(s.peak_mib), *peak, median(s.faults));
  print_ratio("a/b", median(s.tool) / median(s.zlib), target_a_b);
  print_ratio("a/c", median(s.tool) / median(s.fast), target_a_c);
  print_ratio("a/w", median(s.tool) / median(s.write), target_a_w);
  // What the tool adds to inflating and writing, done one after the other.
  print_ratio("a/(c+w)", median(s.tool) / (median(s.fast) + median(s.write)), 0);
}

// One run of each measurement on `archive`, in turn.
void measure_once(tool_launcher& launcher, const std::string& tool, const std::string& dir,
                  const bench_archive& archive, int run_number, unsigned char* buffer, samples& s) {
  const std::string run_dir = make_run_dir(dir, archive, run_number);
  settle(dir);
  const tool_run run = time_tool(launcher, tool, run_dir, archive);
  settle(dir);
  if (run.status != 0) {
    std::fprintf(stderr, "darvex_bench: the tool exited with %d on %s\n", run.status, archive.file_name.c_str());
    std::exit(1);
  }
  s.tool.push_back(run.seconds);
  s.peak_mib.push_back(static_cast<double>(run.peak_kib) / 1024.0);
  s.faults.push_back(static_cast<double>(run.minor_faults));
  s.zlib.push_back(time_inflating(archive, inflate_with_zlib_only, buffer));
  s.fast.push_back(time_inflating(archive, inflate_as_the_tool_does, buffer));
  s.write.push_back(time_writing(run_dir, archive));
  settle(dir);
}

double load_average() {
  double load = 0;
  return getloadavg(&load, 1) == 1 ? load : -1;
}

int run(const std::string& tool, const std::string& dir, int runs) {
  tool_launcher launcher;  // before the archives fill memory
  remove_run_dirs(dir);
  std::filesystem::create_directories(dir);
  std::printf("Writing the benchmark archives to %s ...\n", dir.c_str());
  std::fflush(stdout);
  const bench_archive a = make_archive_a();
  const bench_archive b = make_archive_b();
  a.archive.write_to(dir + "/" + a.file_name);
  b.archive.write_to(dir + "/" + b.file_name);

  std::printf("Inflater: %s. Load average before: %.2f\n", inflater_name().c_str(), load_average());
  std::fflush(stdout);
  // The floors' one reused buffer, as large as the tool's entry buffer.
  const std::unique_ptr<unsigned char[]> buffer(new unsigned char[ENTRY_BUFFER_SIZE]);
  samples sa, sb;
  for (int i = 0; i < runs; ++i) {
    measure_once(launcher, tool, dir, a, i, buffer.get(), sa);
    measure_once(launcher, tool, dir, b, i, buffer.get(), sb);
  }
  remove_run_dirs(dir);
  report(a, sa, 0.7, 1.4, 0);
  report(b, sb, 0, 0, 1.25);
  std::printf("\nLoad average after: %.2f\n", load_average());
  return 0;
}

}  // namespace
}  // namespace darvex::bench

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: darvex_bench TOOL DIR [RUNS]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::max(std::atoi(argv[3]), darvex::bench::FEWEST_RUNS)
                            : darvex::bench::DEFAULT_RUNS;
  // Absolute, since the tool runs inside DIR.
  const auto absolute = [](const char* path) { return std::filesystem::absolute(path).string(); };
  return darvex::bench::run(absolute(argv[1]), absolute(argv[2]), runs);
}
