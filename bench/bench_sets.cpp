#include "bench_sets.hpp"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace darvex::bench {
namespace {

constexpr unsigned MOST_DEFAULT_JOBS = 16;
constexpr double MIB = 1024.0 * 1024.0;

// `program` at -j 1 and at its default, on `archives` in the run directory, leaving `files`.
std::vector<contender> jobs_contenders(const std::string& program, const std::string& id, const std::string& name,
                                       const std::vector<std::string>& archives, std::size_t files, bool baseline) {
  std::vector<std::string> one_job = {program, "-j", "1"};
  std::vector<std::string> default_jobs_command = {program};
  one_job.insert(one_job.end(), archives.begin(), archives.end());
  default_jobs_command.insert(default_jobs_command.end(), archives.begin(), archives.end());
  const std::string default_label = name + ", default jobs (" + std::to_string(default_jobs()) + ")";
  return {{id + "-j1", name + " -j 1", one_job, "", files,
           baseline ? contender_role::baseline_one_job : contender_role::tool_one_job},
          {id + "-default", default_label, default_jobs_command, "", files,
           baseline ? contender_role::baseline_default : contender_role::tool_default}};
}

}  // namespace

unsigned default_jobs() { return std::clamp(std::thread::hardware_concurrency(), 1u, MOST_DEFAULT_JOBS); }

const timings* bench_set::of(contender_role role) const {
  for (std::size_t i = 0; i < contenders.size(); ++i) {
    if (contenders[i].role == role) return &results.at(i);
  }
  return nullptr;
}

std::string medians_of(std::size_t runs) {
  return runs == 1 ? "one run" : "medians of " + std::to_string(runs) + " runs (min..max)";
}

std::string archive_heading(const bench_archive& archive, std::size_t runs) {
  const auto [smallest, largest] =
      std::minmax_element(archive.contents.begin(), archive.contents.end(),
                          [](const std::string& x, const std::string& y) { return x.size() < y.size(); });
  char heading[512];
  std::snprintf(heading, sizeof heading,
                "archive %s: %zu entries of %zu to %zu bytes, %.1f MiB compressed, %.1f MiB written "
                "(entries and table.bin); %s",
                archive.file_name.c_str(), archive.contents.size(), smallest->size(), largest->size(),
                static_cast<double>(archive.archive.stream_offsets().back()) / MIB,
                static_cast<double>(archive.output_bytes()) / MIB, medians_of(runs).c_str());
  return heading;
}

std::string real_heading(const real_selection& selection, const real_set& real, std::size_t runs) {
  const std::string unreadable =
      real.unreadable == 0 ? "" : ", " + std::to_string(real.unreadable) + " unreadable left out";
  char heading[1024];
  std::snprintf(heading, sizeof heading,
                "real contents: %zu files, %.1f MiB%s, of %s\n"
                "  (one in every %.2f of the %zu regular files of at most 12 MiB there, %.1f MiB, by path),\n"
                "  as %s (%.1f MiB) and as %s (%.1f MiB); %s",
                real.files, static_cast<double>(real.bytes) / MIB, unreadable.c_str(), joined(REAL_ROOTS, ", ").c_str(),
                selection.stride, selection.candidates, static_cast<double>(selection.candidate_bytes) / MIB,
                joined(real.archives, ", ").c_str(), static_cast<double>(real.archive_bytes) / MIB, real.zip.c_str(),
                static_cast<double>(real.zip_bytes) / MIB, medians_of(runs).c_str());
  return heading;
}

std::string mixed_heading(const mixed_set& mixed, std::size_t runs) {
  char heading[512];
  std::snprintf(heading, sizeof heading,
                "mixed data: %zu entries of %zu to %zu bytes, %.1f MiB (text-like, structured binary and "
                "incompressible),\n  as %s (%.1f MiB) and as %s (%.1f MiB); %s",
                mixed.entries, mixed.smallest, mixed.largest, static_cast<double>(mixed.bytes) / MIB,
                joined(mixed.archives, ", ").c_str(), static_cast<double>(mixed.archive_bytes) / MIB, mixed.zip.c_str(),
                static_cast<double>(mixed.zip_bytes) / MIB, medians_of(runs).c_str());
  return heading;
}

bench_set archive_set(const std::string& tool, const bench_archive& archive, std::size_t runs) {
  bench_set set;
  set.name = archive.output_dir();
  set.heading = archive_heading(archive, runs);
  set.inputs = {archive.file_name};
  set.contenders =
      jobs_contenders(tool, archive.output_dir(), "DarvEx", set.inputs, archive.contents.size() + 1, false);
  set.output_mib = static_cast<double>(archive.output_bytes()) / MIB;
  return set;
}

bench_set extraction_set(const set_source& source, const extractors& who, const peer_search& peers) {
  bench_set set;
  set.name = source.name;
  set.heading = source.heading;
  set.inputs = source.archives;
  const std::string work = source.zip.substr(0, source.zip.find('.'));
  const std::size_t files = source.entries + source.archives.size();
  set.contenders = jobs_contenders(who.tool, work, "DarvEx", source.archives, files, false);
  if (!who.baseline.empty()) {
    const std::vector<contender> baseline =
        jobs_contenders(who.baseline, work + "-base", "baseline", source.archives, files, true);
    set.contenders.insert(set.contenders.end(), baseline.begin(), baseline.end());
  }
  set.inputs.push_back(source.zip);
  for (const peer& p : peers.found) {
    const std::string id = work + "-" + p.label.substr(0, p.label.find(' '));
    set.contenders.push_back({id, p.label, p.command, work, source.entries, contender_role::peer});
  }
  set.missing_peers = peers.missing;
  set.floor_id = work + "-floor";
  set.output_mib = source.output_mib;
  return set;
}

void read_needs(const std::string& dir, bench_set& set) {
  std::vector<std::string> archives;
  for (const std::string& input : set.inputs) {
    if (input.size() > 4 && input.compare(input.size() - 4, 4, ".dat") == 0) archives.push_back(dir + "/" + input);
  }
  set.needs = needs_of(archives);
}

void measure_once(tool_launcher& launcher, const std::string& dir, bench_set& set, int run, unsigned char* buffer) {
  set.results.resize(set.contenders.size());
  const std::size_t slots = set.contenders.size() + (set.floor.empty() ? 0 : 1);
  for (std::size_t k = 0; k < slots; ++k) {
    const std::size_t i = (k + static_cast<std::size_t>(run)) % slots;
    if (i < set.contenders.size()) {
      set.results[i].add(time_contender(launcher, dir, set.contenders[i], set.inputs, run));
      done_with_run(dir, set.contenders[i].id, run, set.remove_runs);
    } else {
      const std::string run_dir = make_run_dir(dir, set.floor_id, run, {});
      settle(dir);
      set.floor_seconds.push_back(time_extract_floor(run_dir, set.floor, buffer));
      settle(dir);
      done_with_run(dir, set.floor_id, run, set.remove_runs);
    }
  }
}

void measure_floors(const std::string& dir, const bench_archive& archive, int run, unsigned char* buffer, floors& into,
                    bool remove_runs) {
  const std::string id = archive.output_dir() + "-floor";
  into.zlib.push_back(time_inflating(archive, inflate_with_zlib_only, buffer));
  into.fast.push_back(time_inflating(archive, inflate_as_the_tool_does, buffer));
  into.write.push_back(time_writing(make_run_dir(dir, id, run, {}), archive));
  settle(dir);
  done_with_run(dir, id, run, remove_runs);
}

}  // namespace darvex::bench
