#include "own_console.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#include "pseudo_terminal.hpp"
#include "run_tool.hpp"

namespace darvex::test_support {
namespace {

using clock = std::chrono::steady_clock;

// Reads what the terminal shows into `shown` until `done` says so, the program's end closes
// (`closed`), or `until` comes.
template <typename predicate>
void read_shown(int window, std::string& shown, clock::time_point until, bool& closed, predicate&& done) {
  char chunk[4096];
  while (!done(shown)) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - clock::now());
    if (left.count() <= 0) return;
    pollfd readable{window, POLLIN, 0};
    const int ready = poll(&readable, 1, static_cast<int>(left.count()));
    if (ready == 0) return;
    if (ready < 0 && errno == EINTR) continue;
    const ssize_t got = read(window, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      closed = true;
      return;
    }
    shown.append(chunk, static_cast<std::size_t>(got));
  }
}

[[noreturn]] void start_in_terminal(const std::filesystem::path& dir, const pseudo_terminal& terminal,
                                    std::vector<std::string> command) {
  if (setsid() < 0 || ioctl(terminal.program, TIOCSCTTY, 0) != 0 || chdir(dir.c_str()) != 0) _exit(127);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(signal_number, SIG_DFL);
  for (int descriptor = 0; descriptor < 3; ++descriptor) dup2(terminal.program, descriptor);
  closefrom(3);
  // This process leads the session and stays until killed: were it to end, the terminal would
  // hang up on the tool, which start.exe leaves running on it. It holds none of the terminal's
  // descriptors, so that the terminal closes when the tool and its console end.
  const pid_t program = fork();
  if (program < 0) _exit(127);
  if (program > 0) {
    for (int descriptor = 0; descriptor < 3; ++descriptor) close(descriptor);
    for (;;) pause();
  }
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

}  // namespace

std::string without_layout(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\x1b') {
      // ESC [ parameters final-byte, or ESC and one character
      std::size_t end = i + 1;
      if (end < text.size() && text[end] == '[') {
        ++end;
        while (end < text.size() && !(text[end] >= '@' && text[end] <= '~')) ++end;
      }
      i = end;
    } else if (!std::isspace(static_cast<unsigned char>(text[i]))) {
      plain += text[i];
    }
  }
  return plain;
}

console_session run_in_own_console(const std::filesystem::path& working_dir, const std::vector<std::string>& args,
                                   const std::string& awaited, std::chrono::seconds deadline) {
  const pseudo_terminal terminal = open_pseudo_terminal(120);
  // start.exe takes the folder as Windows names it (Wine's drive Z: is the root) and the
  // program by its Linux path (/unix).
  std::string folder = "Z:" + std::filesystem::absolute(working_dir).string();
  std::replace(folder.begin(), folder.end(), '/', '\\');
  std::vector<std::string> command = {launcher_path(), "start", "/b", "/d", folder, "/unix", tool_path()};
  command.insert(command.end(), args.begin(), args.end());
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) start_in_terminal(working_dir, terminal, command);
  close(terminal.program);

  console_session session;
  std::string raw;
  bool closed = false;
  const std::string prompt = without_layout(awaited);
  read_shown(terminal.window, raw, clock::now() + deadline, closed,
             [&](const std::string& shown) { return without_layout(shown).find(prompt) != std::string::npos; });
  if (!closed && without_layout(raw).find(prompt) != std::string::npos) {
    read_shown(terminal.window, raw, clock::now() + std::chrono::seconds(1), closed,
               [](const std::string&) { return false; });
    session.waited = !closed;
    if (write(terminal.window, "\r", 1) == 1) {
      read_shown(terminal.window, raw, clock::now() + deadline, closed, [](const std::string&) { return false; });
    }
  }
  session.closed = closed;
  session.shown = without_layout(raw);
  close(terminal.window);
  kill(child, SIGKILL);  // the session's leader; start.exe and its wine64 are long gone
  waitpid(child, nullptr, 0);
  return session;
}

}  // namespace darvex::test_support
