#include "run_tool.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "scratch.hpp"

namespace darvex::testing {
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

[[noreturn]] void exec_child(const std::filesystem::path& dir, std::vector<std::string> command,
                             const std::vector<std::string>& environment_settings, const std::string& out_path,
                             const std::string& err_path) {
  const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int none = open("/dev/null", O_RDONLY);
  if (out < 0 || err < 0 || none < 0 || chdir(dir.c_str()) != 0) _exit(127);
  dup2(none, 0);
  dup2(out, 1);
  dup2(err, 2);
  for (const std::string& setting : environment_settings) {
    const std::size_t equals = setting.find('=');
    if (equals == std::string::npos || setenv(setting.substr(0, equals).c_str(), setting.c_str() + equals + 1, 1) != 0) {
      _exit(127);
    }
  }
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

tool_result run_once(const std::filesystem::path& working_dir, const std::vector<std::string>& command,
                     const std::vector<std::string>& environment_settings) {
  const scratch_dir capture;
  const std::string out_path = (capture / "stdout").string();
  const std::string err_path = (capture / "stderr").string();
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) exec_child(working_dir, command, environment_settings, out_path, err_path);

  int wait_status = 0;
  if (waitpid(child, &wait_status, 0) != child) throw std::runtime_error("cannot wait");
  tool_result result;
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  result.out = read_file(out_path);
  result.err = read_file(err_path);
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
                     const std::vector<std::string>& environment_settings) {
  const std::string launcher = environment("DARVEX_LAUNCHER", "");
  std::vector<std::string> command;
  if (!launcher.empty()) command.push_back(launcher);
  command.push_back(environment("DARVEX_TOOL", DARVEX_TOOL_PATH));
  command.insert(command.end(), args.begin(), args.end());
  if (launcher.empty()) return run_once(working_dir, command, environment_settings);

  tool_result result = run_once(working_dir, command, environment_settings);
  for (int attempt = 1; attempt < LAUNCH_ATTEMPTS && launcher_failed(result); ++attempt) {
    result = run_once(working_dir, command, environment_settings);
  }
  result.out = without_carriage_returns(result.out);
  result.err = without_carriage_returns(result.err);
  return result;
}

}  // namespace darvex::testing
