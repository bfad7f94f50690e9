#include "peers.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

namespace darvex::bench {
namespace {

struct pipe_closer {
  void operator()(std::FILE* pipe) const { pclose(pipe); }
};

// The interpreter python3 runs (not a wrapper such as pyenv's shim, whose start-up would be
// timed too), or "" when python3 cannot import zipfile.
std::string python_interpreter(const std::string& python3) {
  const std::string query = "'" + python3 + "' -c 'import sys, zipfile; print(sys.executable)' 2>/dev/null";
  const std::unique_ptr<std::FILE, pipe_closer> answer(popen(query.c_str(), "r"));
  if (!answer) return "";
  char line[4096] = {};
  if (std::fgets(line, sizeof line, answer.get()) == nullptr) return "";
  std::string interpreter(line);
  while (!interpreter.empty() && (interpreter.back() == '\n' || interpreter.back() == '\r')) interpreter.pop_back();
  return access(interpreter.c_str(), X_OK) == 0 ? interpreter : "";
}

void add(peer_search& search, const std::string& program, const char* package, std::string label,
         std::vector<std::string> arguments) {
  const std::string found = program_on_path(program);
  if (found.empty()) {
    search.missing.push_back(program + " is not installed (" + package + "): skipped");
    return;
  }
  arguments.insert(arguments.begin(), found);
  search.found.push_back({std::move(label), std::move(arguments)});
}

void add_python(peer_search& search, const std::string& zip) {
  const std::string python3 = program_on_path("python3");
  const std::string interpreter = python3.empty() ? "" : python_interpreter(python3);
  if (interpreter.empty()) {
    search.missing.push_back("python3 with zipfile is not installed (python3): skipped");
    return;
  }
  search.found.push_back({"python3 -m zipfile -e", {interpreter, "-m", "zipfile", "-e", zip, "."}});
}

}  // namespace

std::string program_on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

peer_search find_peers(const std::string& zip, bool with_python) {
  peer_search search;
  add(search, "bsdtar", "libarchive-tools", "bsdtar -xf", {"-xf", zip});
  add(search, "7z", "p7zip-full", "7z x -y", {"x", "-y", zip});
  add(search, "unzip", "unzip", "unzip -o", {"-o", zip});
  if (with_python) add_python(search, zip);
  return search;
}

}  // namespace darvex::bench
