// Windows: whether the console is the process's own, and a wait before it closes.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/nt_windows.hpp"
#include "platform/own_console.hpp"
#include "platform/process_windows.hpp"

namespace platform {
namespace {

bool is_console(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// Whether the console's cursor stands at the start of a line.
bool at_line_start(HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  return !GetConsoleScreenBufferInfo(console, &info) || info.dwCursorPosition.X == 0;
}

bool holds_line_end(const wchar_t* chars, DWORD count) {
  return std::any_of(chars, chars + count, [](wchar_t c) { return c == L'\r' || c == L'\n'; });
}

}  // namespace

console_facts read_console_facts() {
  console_facts facts;
  DWORD ids[1];
  // With too small a list, the count it would need: how many are attached all the same.
  facts.attached_processes = GetConsoleProcessList(ids, 1);
  facts.started_by_a_process = nt::parent_process_id() != 0;
  facts.input_is_console = is_console(STD_INPUT_HANDLE);
  facts.output_is_console = is_console(STD_OUTPUT_HANDLE);
  return facts;
}

void wait_for_enter(std::string_view prompt) {
  std::fflush(stdout);
  std::fflush(stderr);
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  std::wstring shown = at_line_start(output) ? L"" : L"\r\n";
  shown.append(prompt.begin(), prompt.end());  // ASCII
  DWORD written = 0;
  WriteConsoleW(output, shown.data(), static_cast<DWORD>(shown.size()), &written, nullptr);
  // The run is over: Ctrl-C or closing the window ends the process as the system would.
  let_console_events_end_the_process();
  // Keys pressed while the run went on are not the answer.
  FlushConsoleInputBuffer(input);
  wchar_t chars[64];
  DWORD got = 0;
  while (ReadConsoleW(input, chars, static_cast<DWORD>(std::size(chars)), &got, nullptr) && got > 0) {
    if (holds_line_end(chars, got)) break;
  }
}

}  // namespace platform
