// The Windows entry: the command line is read as UTF-16, so that no archive path passes through
// the ANSI code page's "best fit" mapping, and handed on as UTF-8. In a console of its own (a
// double-click, something dropped onto the executable) a lone folder is packed back, and the
// run ends by waiting for Enter, so that its window stays to be read.

#include "cli/dropped_folder.hpp"
#include "cli/front_end.hpp"
#include "cli/own_console.hpp"
#include "platform/process.hpp"
#include "platform/text_windows.hpp"

int wmain(int argc, wchar_t** argv) {
  platform::prepare_process();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::utf8_from_wide(argv[i]));
  if (!darvex::console_is_its_own(platform::read_console_facts())) return darvex::run_front_end(args);
  const int status = darvex::run_from_own_console(args);
  platform::wait_for_enter(darvex::CLOSING_PROMPT);
  return status;
}
