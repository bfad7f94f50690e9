#include "cli/front_end.hpp"

#include <cerrno>
#include <new>

#include "cli/commands.hpp"
#include "cli/help.hpp"
#include "cli/usage.hpp"
#include "platform/process.hpp"

namespace darvex {
namespace {

// Runs `run_one` on each archive in turn, as if each were alone but that, with several, every
// message about an entry names its archive; the highest status wins.
template <typename run_function>
exit_status on_each_archive(const options& chosen, console& screen, run_function&& run_one) {
  exit_status status = exit_status::ok;
  for (const std::string& archive_path : chosen.archives) {
    if (platform::interrupting_signal() != 0) break;
    if (chosen.archives.size() > 1) screen.name_entries_archive(archive_path);
    exit_status archive_status;
    try {
      archive_status = run_one(chosen, archive_path, screen);
    } catch (const std::bad_alloc&) {
      const problem starved{problem_kind::archive, archive_path, "out of memory"};
      screen.report(starved);
      archive_status = status_for(starved.kind);
    }
    status = worst(status, archive_status);
  }
  return status;
}

// Shows one of the texts that need no archive.
exit_status show(const char* text, console& screen) {
  screen.print(text);
  return exit_status::ok;
}

// Runs the command chosen. `finished` says whether its work was done whatever an interrupt says:
// -c's archive in place.
exit_status run(const options& chosen, console& screen, bool& finished) {
  switch (chosen.what) {
    case command::usage_text:
      return show(USAGE_TEXT, screen);
    case command::help:
      return show(help_text(), screen);
    case command::version:
      return show(version_text().c_str(), screen);
    case command::extract:
      return on_each_archive(chosen, screen, run_extract);
    case command::list:
      return on_each_archive(chosen, screen, run_list);
    case command::test:
      return on_each_archive(chosen, screen, run_test);
    case command::to_stdout:
      return on_each_archive(chosen, screen, run_to_stdout);
    case command::create:
      return run_create(chosen, screen, finished);
    case command::diff:
      return run_diff(chosen, screen);
  }
  return exit_status::stopped;  // not reached: every command has its case
}

}  // namespace

int run_front_end(const std::vector<std::string>& args) {
  const parsed_options parsed = parse_options(args);
  const options& chosen = parsed.chosen;
  // Listings, and JSON Lines that were asked for, are shown even so.
  const bool quiet = chosen.quiet && !chosen.json &&
                     (chosen.what == command::extract || chosen.what == command::test ||
                      chosen.what == command::create || chosen.what == command::diff);
  console screen(quiet);
  if (!parsed.error.empty()) {
    screen.report_usage(parsed.error);
    return static_cast<int>(status_for(front_end_problem::usage));
  }
  bool finished = false;
  exit_status status = run(chosen, screen, finished);
  screen.flush();
  // A reader that closed the pipe early (`| head`) wanted no more: that is no failure.
  if (int err = screen.output_error(); err != 0 && err != EPIPE) {
    screen.report("standard output", platform::error_text(err));
    status = worst(status, status_for(front_end_problem::standard_output));
  }
  // An interrupt ends the run as the signal would have, after what was done is said; one that
  // came once the work was done cut nothing short.
  if (const int signal_number = platform::interrupting_signal(); signal_number != 0 && !finished) {
    screen.report_plain("interrupted");
    return INTERRUPTED_STATUS_BASE + signal_number;
  }
  return static_cast<int>(status);
}

}  // namespace darvex
