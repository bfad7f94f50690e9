#include "cli/front_end.hpp"

#include <cerrno>
#include <cstdio>

#include "cli/output_dir.hpp"
#include "cli/report.hpp"
#include "cli/usage.hpp"

namespace darvex {
namespace {

// Shows each entry as it is extracted: "<output_dir>\<name>", flushed at once.
class console_progress final : public extraction_listener {
 public:
  explicit console_progress(const std::string& output_dir) : output_dir_(output_dir) {}

  void entry_read(const char* name) override {
    std::printf("%s\\%s\n", output_dir_.c_str(), name);
    std::fflush(stdout);
  }
  void entry_failed(const problem& failure) override { report(failure); }

 private:
  const std::string& output_dir_;
};

// Opened read-only: nothing writes through it, and read-only archives must extract.
stage_result open_archive(run_state& state) {
  state.archive = open_file(state.archive_path.c_str(), "rb");
  if (!state.archive) return archive_problem(state, system_reason("cannot open", errno));
  // A directory opens as a stream on some systems; its first read fails.
  errno = 0;
  std::fgetc(state.archive.get());
  if (std::ferror(state.archive.get())) {
    return archive_problem(state, system_reason("cannot read", errno));
  }
  return std::nullopt;
}

// Fixed in size and never cleared, the working buffers last as long as the process: a host
// that runs several extractions in one process (the fuzzer) allocates them once.
working_buffers& process_buffers() {
  static working_buffers buffers;
  return buffers;
}

exit_status stop(const problem& failure) {
  report(failure);
  return exit_status::stopped;
}

exit_status extract_archive(const char* archive_path) {
  // Allocated once, uninitialised: the entry table is filled before it is read.
  const std::unique_ptr<run_state> state(new run_state);
  state->archive_path = archive_path;
  if (auto failure = open_archive(*state)) return stop(*failure);
  if (auto failure = enter_output_dir(*state)) return stop(*failure);

  working_buffers& buffers = process_buffers();
  if (auto failure = load_index(*state, buffers)) return stop(*failure);
  if (auto failure = read_entry_table(*state)) return stop(*failure);
  std::fputs("\n", stdout);

  console_progress progress(state->output_dir);
  const std::uint32_t failures = extract_entries(*state, buffers, progress);
  std::fputs("Extracion Complete", stdout);
  std::fflush(stdout);
  return failures == 0 ? exit_status::extracted : exit_status::incomplete;
}

}  // namespace

int run_front_end(int argc, char** argv) {
  if (argc <= 1) {
    std::fputs(USAGE_TEXT, stdout);
    return static_cast<int>(exit_status::extracted);
  }
  return static_cast<int>(extract_archive(argv[1]));
}

}  // namespace darvex
