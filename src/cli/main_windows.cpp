// The Windows entry: the command line is read as UTF-16, so that no archive path passes through
// the ANSI code page's "best fit" mapping, and handed on as UTF-8.

#include "cli/front_end.hpp"
#include "platform/process.hpp"
#include "platform/text_windows.hpp"

int wmain(int argc, wchar_t** argv) {
  platform::prepare_process();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::utf8_from_wide(argv[i]));
  return darvex::run_front_end(args);
}
