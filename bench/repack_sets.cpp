#include "repack_sets.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "bench_sets.hpp"
#include "format/archive.hpp"
#include "measurements.hpp"
#include "peers.hpp"

namespace darvex::bench {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t FOLDERS = 20;
constexpr double MIB = 1024.0 * 1024.0;
constexpr double SPEED_TARGET = 0.35;   // -c at default jobs / the fastest zip maker
constexpr double SIZE_TARGET = 1.02;    // -c's archive / zip -6's
constexpr double LIKE_TARGET = 0.35;    // an unchanged --like repack / -c
constexpr double BOUND_TARGET = 1.0;    // peak memory / its bound
constexpr std::size_t TOOL_MAKERS = 3;  // the tool's makers come first

std::string folder_name(std::size_t k) {
  char name[8];
  std::snprintf(name, sizeof name, "d%02zu", k);
  return name;
}

void add_peer(repack_set& set, const std::string& program, const char* package, maker made) {
  const std::string found = program_on_path(program);
  if (found.empty()) {
    set.missing.push_back(program + " is not installed (" + package + "): skipped");
    return;
  }
  made.command.insert(made.command.begin(), found);
  set.makers.push_back(std::move(made));
}

// The tool's peak memory in each of its makers (the most of any run) against its bound; returns
// the highest of their ratios.
ratio check_memory(const repack_set& set) {
  double highest = 0;
  std::printf("  (m) DarvEx's peak memory, the most of any run, against %s:\n", BOUND_RULE);
  for (std::size_t i = 0; i < TOOL_MAKERS; ++i) {
    const unsigned jobs = set.makers[i].id == "C-j1" ? 1 : default_jobs();
    const double peak = *std::max_element(set.results[i].peak_mib.begin(), set.results[i].peak_mib.end());
    std::printf("      %s: %.1f MiB, of %s\n", set.makers[i].label.c_str(), peak,
                describe_bound(set.needs, jobs).c_str());
    highest = std::max(highest, peak / memory_bound_mib(set.needs, jobs));
  }
  return {"repack: peak memory / its bound (the highest of the tool's three)", highest, BOUND_TARGET};
}

std::vector<std::string> with_output(const std::vector<std::string>& command, const std::string& out) {
  std::vector<std::string> filled = command;
  std::replace(filled.begin(), filled.end(), std::string("OUT"), out);
  return filled;
}

}  // namespace

repack_folder write_repack_folder(tool_launcher& launcher, const std::string& tool, const real_selection& selection,
                                  const std::string& dir) {
  repack_folder made;
  std::vector<real_file> files = selection.files;
  if (files.size() > MAX_ENTRIES) {
    std::vector<real_file> by_size = files;
    std::nth_element(by_size.begin(), by_size.begin() + static_cast<std::ptrdiff_t>(files.size() - MAX_ENTRIES),
                     by_size.end(), [](const real_file& a, const real_file& b) { return a.size < b.size; });
    const std::uintmax_t smallest_kept = by_size[files.size() - MAX_ENTRIES].size;
    std::size_t to_drop = files.size() - MAX_ENTRIES;
    std::erase_if(files, [&](const real_file& f) { return f.size < smallest_kept && to_drop > 0 && to_drop--; });
    if (files.size() > MAX_ENTRIES) files.resize(MAX_ENTRIES);
    made.left_out = selection.files.size() - files.size();
  }
  const fs::path root = fs::path(dir) / made.folder;
  fs::remove_all(root);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const fs::path folder = root / folder_name(i * FOLDERS / files.size());
    fs::create_directories(folder);
    std::error_code error;
    fs::copy_file(files[i].path,
                  folder / (std::to_string(100000 + i).substr(1) + "-" + files[i].path.filename().string()), error);
    if (error) continue;
    ++made.files;
    made.bytes += files[i].size;
  }
  fs::remove(fs::path(dir) / made.archive);
  const tool_run packed = launcher.run(dir, {tool, "-q", "-c", made.archive, made.folder});
  if (packed.status != 0) throw std::runtime_error("the tool could not pack the repack folder");
  return made;
}

repack_set make_repack_set(const std::string& tool, const repack_folder& folder, const std::string& dir) {
  repack_set set;
  set.needs = needs_of({dir + "/" + folder.archive});
  set.makers = {
      {"C-default",
       "DarvEx -c, default jobs (" + std::to_string(default_jobs()) + ")",
       {tool, "-c", "OUT", folder.folder},
       ".dat"},
      {"C-j1", "DarvEx -c -j 1", {tool, "-j", "1", "-c", "OUT", folder.folder}, ".dat"},
      {"C-like", "DarvEx -c --like, unchanged", {tool, "-c", "OUT", "--like", folder.archive, folder.folder}, ".dat"},
  };
  add_peer(set, "zip", "zip", {"C-zip", "zip -r -6", {"-q", "-r", "-6", "OUT", folder.folder}, ".zip"});
  add_peer(set, "bsdtar", "libarchive-tools",
           {"C-bsdtar", "bsdtar -c --format zip", {"-c", "--format", "zip", "-f", "OUT", folder.folder}, ".zip"});
  add_peer(set, "7z", "p7zip-full",
           {"C-7z", "7z a -tzip -mx=5", {"a", "-tzip", "-mx=5", "OUT", folder.folder}, ".zip"});
  set.results.resize(set.makers.size());
  set.sizes.resize(set.makers.size());
  return set;
}

void measure_repack_once(tool_launcher& launcher, const std::string& dir, repack_set& set, int run) {
  for (std::size_t k = 0; k < set.makers.size(); ++k) {
    const std::size_t i = (k + static_cast<std::size_t>(run)) % set.makers.size();
    const maker& who = set.makers[i];
    const std::string run_dir = make_run_dir(dir, who.id, run, {});
    const std::string out = fs::relative(run_dir, dir).string() + "/out" + who.extension;
    settle(dir);
    const tool_run result = launcher.run(dir, with_output(who.command, out));
    settle(dir);
    if (result.status != 0)
      throw std::runtime_error(who.label + " exited with status " + std::to_string(result.status));
    set.results[i].add(result);
    set.sizes[i] = fs::file_size(fs::path(dir) / out);
    done_with_run(dir, who.id, run, set.remove_runs);
  }
}

std::vector<ratio> report_repack(const repack_set& set, const repack_folder& folder, std::size_t runs) {
  const double mib = static_cast<double>(folder.bytes) / MIB;
  std::printf(
      "\nrepack: the real contents as a folder of %zu files in %zu folders, %.1f MiB (%zu smallest left out), "
      "%s\n",
      folder.files, FOLDERS, mib, folder.left_out,
      runs == 1 ? "one run" : ("medians of " + std::to_string(runs) + " runs (min..max)").c_str());
  for (std::size_t i = 0; i < set.makers.size(); ++i) {
    print_timing(set.makers[i].label, set.results[i], mib);
    std::printf("      its archive: %.2f MiB\n", static_cast<double>(set.sizes[i]) / MIB);
  }
  for (const std::string& note : set.missing) std::printf("  (%s)\n", note.c_str());
  const double create = set.results[0].time();
  std::vector<ratio> ratios = {check_memory(set),
                               {"repack: --like unchanged / -c", set.results[2].time() / create, LIKE_TARGET}};
  std::size_t fastest = 0, zip = 0;
  for (std::size_t i = 3; i < set.makers.size(); ++i) {
    if (fastest == 0 || set.results[i].time() < set.results[fastest].time()) fastest = i;
    if (set.makers[i].id == "C-zip") zip = i;
  }
  if (fastest != 0) {
    ratios.push_back({"repack: -c / the fastest peer (" + set.makers[fastest].label + ")",
                      create / set.results[fastest].time(), SPEED_TARGET});
  }
  if (zip != 0) {
    ratios.push_back({"repack: -c's archive / zip -6's",
                      static_cast<double>(set.sizes[0]) / static_cast<double>(set.sizes[zip]), SIZE_TARGET});
  }
  for (const ratio& r : ratios) print_ratio(r);
  return ratios;
}

}  // namespace darvex::bench
