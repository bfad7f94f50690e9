#pragma once

// The four things the tool does with an archive, each running its own archive_command through
// run_archive_command, which reports every problem and gives the status; the one that makes an
// archive, which is no such command: it reads a folder and writes an archive; and the one that
// compares two archives.

#include <string>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/options.hpp"

namespace darvex {

exit_status run_extract(const options& chosen, const std::string& archive_path, console& screen);
exit_status run_list(const options& chosen, const std::string& archive_path, console& screen);
exit_status run_test(const options& chosen, const std::string& archive_path, console& screen);
exit_status run_to_stdout(const options& chosen, const std::string& archive_path, console& screen);
// `in_place` says whether the archive replaced its name: an interrupt after that cut nothing short.
exit_status run_create(const options& chosen, console& screen, bool& in_place);
exit_status run_diff(const options& chosen, console& screen);

}  // namespace darvex
