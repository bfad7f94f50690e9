#include "cli/front_end.hpp"

#include <new>

#include "cli/commands.hpp"
#include "cli/help.hpp"
#include "cli/usage.hpp"

namespace darvex {
namespace {

exit_status run_command(const options& chosen, const std::string& archive_path, console& screen) {
  try {
    switch (chosen.what) {
      case command::list:
        return run_list(chosen, archive_path, screen);
      case command::test:
        return run_test(chosen, archive_path, screen);
      default:
        return run_extract(chosen, archive_path, screen);
    }
  } catch (const std::bad_alloc&) {
    screen.report(quoted(archive_path), "out of memory");
    return exit_status::stopped;
  }
}

// Shows one of the texts that need no archive.
exit_status show(const char* text, console& screen) {
  screen.print(text);
  return exit_status::ok;
}

exit_status run(const options& chosen, console& screen) {
  switch (chosen.what) {
    case command::usage_text:
      return show(USAGE_TEXT, screen);
    case command::help:
      return show(help_text(), screen);
    case command::version:
      return show(version_text().c_str(), screen);
    default:
      break;
  }
  exit_status status = exit_status::ok;
  for (const std::string& archive_path : chosen.archives)
    status = worst(status, run_command(chosen, archive_path, screen));
  return status;
}

}  // namespace

int run_front_end(const std::vector<std::string>& args) {
  const parsed_options parsed = parse_options(args);
  const options& chosen = parsed.chosen;
  const bool quiet = chosen.quiet && (chosen.what == command::extract || chosen.what == command::test);
  console screen(quiet);
  if (!parsed.error.empty()) {
    screen.report_usage(parsed.error);
    return static_cast<int>(exit_status::stopped);
  }
  exit_status status = run(chosen, screen);
  screen.flush();
  if (int err = screen.output_error()) {
    screen.report("standard output", platform::error_text(err));
    status = worst(status, exit_status::incomplete);
  }
  return static_cast<int>(status);
}

}  // namespace darvex
