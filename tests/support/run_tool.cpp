#include "run_tool.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

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

// Where the child's stdout and stderr go: descriptors for it to take, and what the parent reads.
struct child_streams {
  int out = -1;
  int err = -1;
  int pipe_read = -1;  // the parent's end, when stdout is a pipe
};

child_streams open_streams(const run_options& options, const std::string& out_path, const std::string& err_path) {
  child_streams streams;
  if (options.pipe_bytes > 0) {
    int ends[2];
    if (pipe(ends) != 0) throw std::runtime_error("cannot make a pipe");
    streams.pipe_read = ends[0];
    streams.out = ends[1];
  } else {
    const std::string& path = options.stdout_path.empty() ? out_path : options.stdout_path;
    streams.out = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  streams.err = options.merged ? dup(streams.out) : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (streams.out < 0 || streams.err < 0) throw std::runtime_error("cannot open the capture files");
  return streams;
}

[[noreturn]] void exec_child(const std::filesystem::path& dir, std::vector<std::string> command,
                             const std::vector<std::string>& environment, const child_streams& streams) {
  const int none = open("/dev/null", O_RDONLY);
  if (none < 0 || chdir(dir.c_str()) != 0) _exit(127);
  if (streams.pipe_read >= 0) close(streams.pipe_read);
  dup2(none, 0);
  dup2(streams.out, 1);
  dup2(streams.err, 2);
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

// Reads `limit` bytes of the pipe (or what comes before it closes), then closes it.
std::string read_then_close(int pipe_read, std::size_t limit) {
  std::string got;
  char chunk[4096];
  while (got.size() < limit) {
    const ssize_t read_now = read(pipe_read, chunk, std::min(sizeof chunk, limit - got.size()));
    if (read_now <= 0) break;
    got.append(chunk, static_cast<std::size_t>(read_now));
  }
  close(pipe_read);
  return got;
}

tool_result run_once(const std::filesystem::path& working_dir, const std::vector<std::string>& command,
                     const run_options& options) {
  const scratch_dir capture;
  const std::string out_path = (capture / "stdout").string();
  const std::string err_path = (capture / "stderr").string();
  const child_streams streams = open_streams(options, out_path, err_path);
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) exec_child(working_dir, command, options.environment, streams);
  close(streams.out);
  close(streams.err);

  tool_result result;
  if (streams.pipe_read >= 0) result.out = read_then_close(streams.pipe_read, options.pipe_bytes);
  int wait_status = 0;
  if (waitpid(child, &wait_status, 0) != child) throw std::runtime_error("cannot wait");
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  if (streams.pipe_read < 0 && options.stdout_path.empty()) result.out = read_file(out_path);
  if (!options.merged) result.err = read_file(err_path);
  return result;
}

// The tool never fails silently: a failing run always leaves a line on stderr or progress on
// stdout. A launcher (Wine) that now and then fails to start it leaves neither.
bool launcher_failed(const tool_result& result) {
  return result.status != 0 && result.out.empty() && result.err.empty();
}

constexpr int LAUNCH_ATTEMPTS = 3;

}  // namespace

tool_result run_tool(const std::filesystem::path& working_dir, const std::vector<std::string>& args,
                     const run_options& options) {
  const std::string launcher = environment("DARVEX_LAUNCHER", "");
  std::vector<std::string> command;
  if (!launcher.empty()) command.push_back(launcher);
  command.push_back(tool_path());
  command.insert(command.end(), args.begin(), args.end());
  if (launcher.empty()) return run_once(working_dir, command, options);

  tool_result result = run_once(working_dir, command, options);
  for (int attempt = 1; attempt < LAUNCH_ATTEMPTS && launcher_failed(result); ++attempt) {
    result = run_once(working_dir, command, options);
  }
  result.out = without_carriage_returns(result.out);
  result.err = without_carriage_returns(result.err);
  return result;
}

std::string tool_path() { return environment("DARVEX_TOOL", DARVEX_TOOL_PATH); }

bool testing_a_windows_build() {
  const char* tool = std::getenv("DARVEX_TOOL");
  return tool != nullptr && std::filesystem::path(tool).extension() == ".exe";
}

}  // namespace darvex::test_support
