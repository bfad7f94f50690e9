#include "set_list.hpp"

#include <cstdio>

namespace darvex::bench {
namespace {

constexpr double MIB = 1024.0 * 1024.0;

// The parallel pipeline's targets.
constexpr double PARALLEL_GAIN_TARGET = 0.65;  // default jobs / -j 1 on A and on the real contents
constexpr double NOISE_TARGET = 1.05;          // on B: no slower than -j 1, within 5%
// T against F, at both job counts: making and entering folders costs little.
constexpr double TREE_TARGET = 1.15;
// The tool against its floors, at default jobs.
constexpr floor_targets A_FLOOR_TARGETS = {0.7, 1.4, 0};
constexpr floor_targets B_FLOOR_TARGETS = {0, 0, 1.25};
// Buffers that fault once and whole files at the cost of plain ones: against the baseline at
// both job counts, against bsdtar and the single-thread floor at default jobs.
constexpr set_targets TINY_FLAT_TARGETS = {0, 1.10, 0, 0};
constexpr set_targets TINY_NESTED_TARGETS = {0, 1.20, 0, 0};
constexpr set_targets REAL_TARGETS = {PARALLEL_GAIN_TARGET, 0, 0.40, 0.75};
constexpr set_targets MIXED_TARGETS = {0, 0, 0.30, 0};

// A generated archive for extractors side by side: the tool, the baseline, the peers and the floor.
bench_set side_by_side_set(const std::string& name, const std::string& about, const bench_archive& archive,
                           const extractors& who, std::size_t runs) {
  const set_source source{
      .name = name,
      .heading = name + " (" + about + "), also as " + archive.zip_name() + ":\n  " + archive_heading(archive, runs),
      .archives = {archive.file_name},
      .entries = archive.contents.size(),
      .zip = archive.zip_name(),
      .output_mib = static_cast<double>(archive.output_bytes()) / MIB};
  bench_set set = extraction_set(source, who, find_peers("../" + archive.zip_name()));
  set.floor.push_back(floor_of(test_support::test_archive(archive.archive), archive.output_dir()));
  return set;
}

bench_set real_set_of(real_contents& real, const std::string& tool, std::size_t runs) {
  const set_source source{.name = "real contents",
                          .heading = real_heading(real.selection, real.packed, runs),
                          .archives = real.packed.archives,
                          .entries = real.packed.files,
                          .zip = real.packed.zip,
                          .output_mib = static_cast<double>(real.packed.bytes) / MIB};
  bench_set set = extraction_set(source, {tool, ""}, find_peers("../" + real.packed.zip));
  set.floor = std::move(real.packed.floor);
  set.targets = REAL_TARGETS;
  return set;
}

bench_set mixed_set_of(const std::string& dir, std::uint64_t mib, const std::string& tool, std::size_t runs) {
  std::printf("Generating %llu MiB of mixed data and writing it to %s ...\n", static_cast<unsigned long long>(mib),
              dir.c_str());
  std::fflush(stdout);
  mixed_set mixed = write_mixed_set(dir, mib);
  const set_source source{.name = "mixed data",
                          .heading = mixed_heading(mixed, runs),
                          .archives = mixed.archives,
                          .entries = mixed.entries,
                          .zip = mixed.zip,
                          .output_mib = static_cast<double>(mixed.bytes) / MIB};
  // Python's zipfile would take minutes here.
  bench_set set = extraction_set(source, {tool, ""}, find_peers("../" + mixed.zip, false));
  set.floor = std::move(mixed.floor);
  set.targets = MIXED_TARGETS;
  set.remove_runs = true;  // gigabytes a run
  return set;
}

}  // namespace

real_contents write_real_contents(const std::string& dir, std::uint64_t mib) {
  std::printf("Selecting about %llu MiB of files under %s and writing them to %s ...\n",
              static_cast<unsigned long long>(mib), joined(REAL_ROOTS, ", ").c_str(), dir.c_str());
  std::fflush(stdout);
  real_contents made{select_real_files(REAL_ROOTS, mib * 1024 * 1024), {}};
  made.packed = pack_real_files(made.selection, dir);
  return made;
}

void generated_archives::write_to(const std::string& dir) const {
  std::printf("Writing the benchmark archives A, B, T, F and the tiny files to %s ...\n", dir.c_str());
  std::fflush(stdout);
  for (const bench_archive* archive : {&a, &b, &tree, &flat, &tiny_nested, &tiny_flat}) {
    archive->archive.write_to(dir + "/" + archive->file_name);
  }
  for (const bench_archive* archive : {&tiny_nested, &tiny_flat}) archive->write_zip_to(dir);
}

std::vector<bench_set> make_sets(const extractors& who, const std::string& dir, std::size_t runs,
                                 std::uint64_t mixed_mib, const generated_archives& made, real_contents& real) {
  std::vector<bench_set> sets;
  for (const bench_archive* archive : {&made.a, &made.b, &made.tree, &made.flat}) {
    sets.push_back(archive_set(who.tool, *archive, runs));
  }
  sets.push_back(side_by_side_set("tiny files, nested", "three levels of folders, entry i in the (i % 100)th of 100",
                                  made.tiny_nested, who, runs));
  sets.back().targets = TINY_NESTED_TARGETS;
  sets.push_back(
      side_by_side_set("tiny files, flat", "the same, each name's folders made part of it", made.tiny_flat, who, runs));
  sets.back().targets = TINY_FLAT_TARGETS;
  if (real.packed.files > 0) sets.push_back(real_set_of(real, who.tool, runs));
  sets.push_back(mixed_set_of(dir, mixed_mib, who.tool, runs));
  const bool remove_runs = on_tmpfs(dir);
  for (bench_set& set : sets) {
    read_needs(dir, set);
    set.remove_runs = set.remove_runs || remove_runs;
  }
  return sets;
}

void append_ratios(std::vector<ratio>& into, const std::vector<ratio>& more) {
  into.insert(into.end(), more.begin(), more.end());
}

std::vector<ratio> report_sets(const std::vector<bench_set>& sets, const floors& floors_a, const floors& floors_b) {
  std::vector<ratio> targets = report_archive(sets[0], floors_a, A_FLOOR_TARGETS, PARALLEL_GAIN_TARGET);
  append_ratios(targets, report_archive(sets[1], floors_b, B_FLOOR_TARGETS, NOISE_TARGET));
  append_ratios(targets, report_tree(sets[2], sets[3], TREE_TARGET));
  for (std::size_t i = 4; i < sets.size(); ++i) append_ratios(targets, report_extraction(sets[i]));
  return targets;
}

}  // namespace darvex::bench
