#include "tool_launcher.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <vector>

namespace darvex::bench {
namespace {

// A request is its strings (the directory, then the command's arguments), each ended by a zero
// byte, after their total length.
bool read_exactly(int from, void* into, std::size_t length) {
  auto* at = static_cast<char*>(into);
  while (length > 0) {
    const ssize_t got = read(from, at, length);
    if (got <= 0) return false;
    at += got;
    length -= static_cast<std::size_t>(got);
  }
  return true;
}

bool write_exactly(int to, const void* from, std::size_t length) {
  const auto* at = static_cast<const char*>(from);
  while (length > 0) {
    const ssize_t put = write(to, at, length);
    if (put <= 0) return false;
    at += put;
    length -= static_cast<std::size_t>(put);
  }
  return true;
}

// In the command's process: enter `dir`, send stdout to /dev/null and become the command.
[[noreturn]] void exec_command(const char* dir, char* const* argv) {
  const int null = open("/dev/null", O_WRONLY);
  if (chdir(dir) != 0 || null < 0 || dup2(null, STDOUT_FILENO) < 0) _exit(127);
  execvp(argv[0], argv);
  _exit(127);
}

tool_run run_here(const char* dir, char* const* argv) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) exec_command(dir, argv);
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return {0, 0, 0, -1};
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {seconds, usage.ru_maxrss, usage.ru_minflt, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// The helper's loop: one request in, one tool_run out, until the benchmark closes the pipe.
[[noreturn]] void serve(int requests, int replies) {
  std::uint32_t length = 0;
  while (read_exactly(requests, &length, sizeof length)) {
    std::vector<char> strings(length);
    if (!read_exactly(requests, strings.data(), length)) break;
    std::vector<char*> pointers;
    for (std::size_t at = 0; at < length; at += std::char_traits<char>::length(&strings[at]) + 1) {
      pointers.push_back(&strings[at]);
    }
    pointers.push_back(nullptr);
    const tool_run run = pointers.size() > 2 ? run_here(pointers[0], pointers.data() + 1) : tool_run{0, 0, 0, -1};
    if (!write_exactly(replies, &run, sizeof run)) break;
  }
  _exit(0);
}

}  // namespace

tool_launcher::tool_launcher() {
  int to_helper[2];
  int from_helper[2];
  if (pipe(to_helper) != 0 || pipe(from_helper) != 0) throw std::runtime_error("cannot make pipes");
  helper_ = fork();
  if (helper_ < 0) throw std::runtime_error("cannot fork the launcher");
  if (helper_ == 0) {
    close(to_helper[1]);
    close(from_helper[0]);
    serve(to_helper[0], from_helper[1]);
  }
  close(to_helper[0]);
  close(from_helper[1]);
  requests_ = to_helper[1];
  replies_ = from_helper[0];
}

tool_launcher::~tool_launcher() {
  close(requests_);
  close(replies_);
  waitpid(helper_, nullptr, 0);
}

tool_run tool_launcher::run(const std::string& dir, const std::vector<std::string>& command) {
  std::string strings = dir + '\0';
  for (const std::string& argument : command) strings += argument + '\0';
  const auto length = static_cast<std::uint32_t>(strings.size());
  tool_run run{};
  if (!write_exactly(requests_, &length, sizeof length) || !write_exactly(requests_, strings.data(), strings.size()) ||
      !read_exactly(replies_, &run, sizeof run)) {
    throw std::runtime_error("the launcher stopped");
  }
  return run;
}

}  // namespace darvex::bench
