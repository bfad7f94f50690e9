#include "bench_sets.hpp"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace darvex::bench {
namespace {

constexpr unsigned MOST_DEFAULT_JOBS = 16;
constexpr double MIB = 1024.0 * 1024.0;

std::string medians_of(std::size_t runs) {
  return runs == 1 ? "one run" : "medians of " + std::to_string(runs) + " runs (min..max)";
}

// The tool at -j 1 and at its default, on `archives` in the run directory, leaving `files`.
std::vector<contender> tool_contenders(const std::string& tool, const std::string& set_id,
                                       const std::vector<std::string>& archives, std::size_t files) {
  std::vector<std::string> one_job = {tool, "-j", "1"};
  std::vector<std::string> default_jobs_command = {tool};
  one_job.insert(one_job.end(), archives.begin(), archives.end());
  default_jobs_command.insert(default_jobs_command.end(), archives.begin(), archives.end());
  const std::string default_label = "DarvEx, default jobs (" + std::to_string(default_jobs()) + ")";
  return {{set_id + "-j1", "DarvEx -j 1", one_job, "", files},
          {set_id + "-default", default_label, default_jobs_command, "", files}};
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

}  // namespace

unsigned default_jobs() { return std::clamp(std::thread::hardware_concurrency(), 1u, MOST_DEFAULT_JOBS); }

bench_set archive_set(const std::string& tool, const bench_archive& archive, std::size_t runs) {
  bench_set set;
  set.heading = archive_heading(archive, runs);
  set.inputs = {archive.file_name};
  set.contenders = tool_contenders(tool, archive.output_dir(), set.inputs, archive.contents.size() + 1);
  set.output_mib = static_cast<double>(archive.output_bytes()) / MIB;
  return set;
}

bench_set real_contents_set(const std::string& tool, const real_selection& selection, const real_set& real,
                            const std::vector<peer>& peers, std::size_t runs) {
  bench_set set;
  set.heading = real_heading(selection, real, runs);
  set.inputs = real.archives;
  set.contenders = tool_contenders(tool, "R", real.archives, real.files + real.archives.size());
  set.inputs.push_back(real.zip);
  const std::string work = real.zip.substr(0, real.zip.find('.'));
  for (const peer& p : peers) {
    set.contenders.push_back({"R-" + p.label.substr(0, p.label.find(' ')), p.label, p.command, work, real.files});
  }
  set.output_mib = static_cast<double>(real.bytes) / MIB;
  return set;
}

void measure_once(tool_launcher& launcher, const std::string& dir, bench_set& set, int run) {
  set.results.resize(set.contenders.size());
  for (std::size_t k = 0; k < set.contenders.size(); ++k) {
    const std::size_t i = (k + static_cast<std::size_t>(run)) % set.contenders.size();
    set.results[i].add(time_contender(launcher, dir, set.contenders[i], set.inputs, run));
  }
}

void measure_floors(const std::string& dir, const bench_archive& archive, int run, unsigned char* buffer,
                    floors& into) {
  into.zlib.push_back(time_inflating(archive, inflate_with_zlib_only, buffer));
  into.fast.push_back(time_inflating(archive, inflate_as_the_tool_does, buffer));
  into.write.push_back(time_writing(make_run_dir(dir, archive.output_dir() + "-floor", run, {}), archive));
  settle(dir);
}

}  // namespace darvex::bench
