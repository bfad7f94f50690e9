#include "run_tool.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

#include "pseudo_terminal.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

std::string environment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

std::string without_carriage_returns(std::string text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  }
  return out;
}

using clock = std::chrono::steady_clock;

// A file descriptor, closed when this goes.
class owned_fd {
 public:
  explicit owned_fd(int fd = -1) : fd_(fd) {}
  ~owned_fd() { reset(); }
  owned_fd(owned_fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  owned_fd& operator=(owned_fd&& other) noexcept {
    reset();
    fd_ = std::exchange(other.fd_, -1);
    return *this;
  }

  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// Where the child's stdout and stderr go: descriptors for it to take, and what the parent reads.
struct child_streams {
  owned_fd out;
  owned_fd err;
  owned_fd pipe_read;  // the parent's end, when stdout is a pipe
};

// A terminal for stderr, and for stdout unless it goes to a file.
child_streams terminal_streams(const run_options& options) {
  const pseudo_terminal terminal = open_pseudo_terminal(options.terminal_columns);
  child_streams streams;
  streams.pipe_read = owned_fd(terminal.window);
  streams.err = owned_fd(terminal.program);
  streams.out =
      owned_fd(options.stdout_path.empty() ? dup(terminal.program)
                                           : open(options.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
  if (streams.out.get() < 0) throw std::runtime_error("cannot open the terminal's stdout");
  return streams;
}

child_streams open_streams(const run_options& options, const std::string& out_path, const std::string& err_path) {
  if (options.terminal_columns > 0) return terminal_streams(options);
  child_streams streams;
  if (options.pipe_bytes > 0) {
    int ends[2];
    if (pipe(ends) != 0) throw std::runtime_error("cannot make a pipe");
    streams.pipe_read = owned_fd(ends[0]);
    streams.out = owned_fd(ends[1]);
  } else {
    const std::string& path = options.stdout_path.empty() ? out_path : options.stdout_path;
    streams.out = owned_fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
  }
  streams.err =
      owned_fd(options.merged ? dup(streams.out.get()) : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
  if (streams.out.get() < 0 || streams.err.get() < 0) throw std::runtime_error("cannot open the capture files");
  return streams;
}

[[noreturn]] void exec_child(const std::filesystem::path& dir, std::vector<std::string> command,
                             const std::vector<std::string>& environment, const child_streams& streams) {
  const int none = open("/dev/null", O_RDONLY);
  if (none < 0 || chdir(dir.c_str()) != 0) _exit(127);
  // The tool starts as from a terminal, whatever the test runner ignores (a background job
  // ignores SIGINT): an ignored signal would stay ignored across exec.
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(signal_number, SIG_DFL);
  if (streams.pipe_read.get() >= 0) close(streams.pipe_read.get());
  dup2(none, 0);
  dup2(streams.out.get(), 1);
  dup2(streams.err.get(), 2);
  closefrom(3);  // the tool starts with the three standard descriptors alone, as from a shell
  for (const std::string& setting : environment) {
    const std::size_t equals = setting.find('=');
    if (equals == std::string::npos ||
        setenv(setting.substr(0, equals).c_str(), setting.c_str() + equals + 1, 1) != 0) {
      _exit(127);
    }
  }
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

// A started child process. One still running when this goes (its deadline passed, or the
// parent gave up on it) is killed and reaped.
class child_process {
 public:
  explicit child_process(pid_t pid) : pid_(pid) {}
  ~child_process() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  child_process(const child_process&) = delete;
  child_process& operator=(const child_process&) = delete;

  // Its wait status once it exits, or nothing when `deadline` comes first. Polls, with pauses
  // that grow from half a millisecond, so that short runs are not slowed. Once the options'
  // signal_when (when given, and then asked every half millisecond) says so, the child is sent
  // their signal; `signalled` tells.
  std::optional<int> wait_until(clock::time_point deadline, const run_options& options, bool& signalled) {
    const std::function<bool()>& signal_when = options.signal_when;
    std::chrono::microseconds pause{500};
    for (;;) {
      if (signal_when && !signalled && signal_when()) {
        kill(pid_, options.signal);
        signalled = true;
      }
      int status = 0;
      const pid_t waited = waitpid(pid_, &status, WNOHANG);
      if (waited == pid_) {
        pid_ = -1;
        return status;
      }
      if (waited < 0 && errno != EINTR) throw std::runtime_error("cannot wait");
      const clock::time_point now = clock::now();
      if (now >= deadline) return std::nullopt;
      std::this_thread::sleep_for(std::min<clock::duration>(pause, deadline - now));
      // A condition to signal on is asked often, so that the signal lands close to when it holds.
      if (!signal_when) pause = std::min(pause * 2, std::chrono::microseconds{10000});
    }
  }

 private:
  pid_t pid_;
};

// Reads `limit` bytes of the pipe (or what comes before it closes); nothing when `deadline`
// comes first.
std::optional<std::string> read_until(int pipe_read, std::size_t limit, clock::time_point deadline) {
  std::string got;
  char chunk[4096];
  while (got.size() < limit) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd readable{pipe_read, POLLIN, 0};
    const int ready = poll(&readable, 1, static_cast<int>(left.count()));
    if (ready == 0) return std::nullopt;
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    const ssize_t read_now = read(pipe_read, chunk, std::min(sizeof chunk, limit - got.size()));
    if (read_now <= 0) break;
    got.append(chunk, static_cast<std::size_t>(read_now));
  }
  return got;
}

deadline_passed past_deadline(const std::string& name, std::chrono::seconds deadline) {
  return deadline_passed(name + " ran past its " + std::to_string(deadline.count()) + " s deadline: killed");
}

// Runs `command` once; `name` is what a passed deadline calls it.
tool_result run_once(const std::string& name, const std::filesystem::path& working_dir,
                     const std::vector<std::string>& command, const run_options& options) {
  const clock::time_point deadline = clock::now() + options.deadline;
  const scratch_dir capture;
  const std::string out_path = (capture / "stdout").string();
  const std::string err_path = (capture / "stderr").string();
  child_streams streams = open_streams(options, out_path, err_path);
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) exec_child(working_dir, command, options.environment, streams);
  child_process running(child);
  streams.out.reset();
  streams.err.reset();

  tool_result result;
  if (options.terminal_columns > 0) {
    std::optional<std::string> shown = read_terminal(streams.pipe_read.get(), options.terminal_pause, deadline);
    if (!shown) throw past_deadline(name, options.deadline);
    result.out = std::move(*shown);
    streams.pipe_read.reset();
  } else if (streams.pipe_read.get() >= 0) {
    std::optional<std::string> read = read_until(streams.pipe_read.get(), options.pipe_bytes, deadline);
    if (!read) throw past_deadline(name, options.deadline);
    result.out = std::move(*read);
    streams.pipe_read.reset();
  }
  const std::optional<int> wait_status = running.wait_until(deadline, options, result.signalled);
  if (!wait_status) throw past_deadline(name, options.deadline);
  result.status = WIFEXITED(*wait_status) ? WEXITSTATUS(*wait_status) : -1;
  result.signal = WIFSIGNALED(*wait_status) ? WTERMSIG(*wait_status) : 0;
  const bool in_terminal = options.terminal_columns > 0;
  if (!in_terminal && options.pipe_bytes == 0 && options.stdout_path.empty()) result.out = read_file(out_path);
  if (!in_terminal && !options.merged) result.err = read_file(err_path);
  return result;
}

// The tool never fails silently: a failing run always leaves a line on stderr or progress on
// stdout. A launcher (Wine) that now and then fails to start it leaves neither.
bool launcher_failed(const tool_result& result) {
  return result.status != 0 && result.out.empty() && result.err.empty() && !result.signalled;
}

constexpr int LAUNCH_ATTEMPTS = 3;
const std::string TOOL_NAME = "DarvEx";

}  // namespace

std::string launcher_path() {
  return environment("DARVEX_LAUNCHER", testing_a_windows_build() ? DARVEX_WINE64_PATH : "");
}

run_options run_options::killed_when(std::function<bool()> condition) {
  run_options options;
  options.signal_when = std::move(condition);
  options.signal = SIGKILL;
  return options;
}

run_options run_options::interrupted_when(std::function<bool()> condition) {
  return signalled_when(SIGINT, std::move(condition));
}

run_options run_options::signalled_when(int signal, std::function<bool()> condition) {
  run_options options = killed_when(std::move(condition));
  options.signal = signal;
  return options;
}

run_options run_options::signalled_after(int signal, std::chrono::milliseconds delay) {
  // Counted from now: the options are made just before the run.
  const clock::time_point at = clock::now() + delay;
  return signalled_when(signal, [at] { return clock::now() >= at; });
}

tool_result run_tool(const std::filesystem::path& working_dir, const std::vector<std::string>& args,
                     const run_options& options) {
  const std::string launcher = launcher_path();
  std::vector<std::string> command;
  if (!launcher.empty()) command.push_back(launcher);
  command.push_back(tool_path());
  command.insert(command.end(), args.begin(), args.end());
  if (launcher.empty()) return run_once(TOOL_NAME, working_dir, command, options);

  tool_result result = run_once(TOOL_NAME, working_dir, command, options);
  for (int attempt = 1; attempt < LAUNCH_ATTEMPTS && launcher_failed(result); ++attempt) {
    result = run_once(TOOL_NAME, working_dir, command, options);
  }
  result.out = without_carriage_returns(result.out);
  result.err = without_carriage_returns(result.err);
  return result;
}

tool_result run_program(const std::filesystem::path& working_dir, const std::vector<std::string>& command,
                        const run_options& options) {
  return run_once(std::filesystem::path(command.at(0)).filename().string(), working_dir, command, options);
}

std::string tool_path() { return environment("DARVEX_TOOL", DARVEX_TOOL_PATH); }

bool runs_under_a_launcher() { return !launcher_path().empty(); }

bool testing_a_windows_build() {
  const char* tool = std::getenv("DARVEX_TOOL");
  return tool != nullptr && std::filesystem::path(tool).extension() == ".exe";
}

std::string as_shown(std::string path) {
  if (testing_a_windows_build()) std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

#ifdef DARVEX_READ_COUNTER_PATH
counted_run_result counted_run(const std::filesystem::path& dir, const std::vector<std::string>& args,
                               const std::string& open_suffix) {
  const std::string count_file = (dir / "counts").string();
  counted_run_result counted;
  counted.run =
      run_tool(dir, args,
               run_options::with_environment({"LD_PRELOAD=" DARVEX_READ_COUNTER_PATH, "DARVEX_READ_COUNT=" + count_file,
                                              "DARVEX_OPEN_SUFFIX=" + open_suffix}));
  std::FILE* file = std::fopen(count_file.c_str(), "r");
  if (file == nullptr) throw std::runtime_error("the read counter left no counts in " + count_file);
  const int read = std::fscanf(file, "%lu %llu %lu", &counted.reads, &counted.bytes, &counted.opens);
  std::fclose(file);
  if (read != 3) throw std::runtime_error("the read counter's counts in " + count_file + " do not read");
  return counted;
}
#endif

}  // namespace darvex::test_support
