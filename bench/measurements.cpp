#include "measurements.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "format/inflate.hpp"

namespace darvex::bench {
namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start) {
  return std::chrono::duration<double>(clock_type::now() - start).count();
}

std::size_t files_under(const std::string& dir) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) count += entry.is_regular_file();
  return count;
}

void write_whole(int file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(file, bytes.data(), bytes.size());
    if (written <= 0) throw std::runtime_error("cannot write a file for the write floor");
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

std::string make_run_dir(const std::string& dir, const std::string& id, int run,
                         const std::vector<std::string>& inputs) {
  const std::string run_dir = dir + "/runs/" + id + "-" + std::to_string(run);
  std::filesystem::create_directories(run_dir);
  for (const std::string& input : inputs) std::filesystem::create_hard_link(dir + "/" + input, run_dir + "/" + input);
  return run_dir;
}

void settle(const std::string& dir) {
  const int handle = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (handle < 0 || syncfs(handle) != 0) throw std::runtime_error("cannot sync " + dir);
  close(handle);
}

void remove_run_dirs(const std::string& dir) { std::filesystem::remove_all(dir + "/runs"); }

tool_run time_contender(tool_launcher& launcher, const std::string& dir, const contender& who,
                        const std::vector<std::string>& inputs, int run) {
  const std::string run_dir = make_run_dir(dir, who.id, run, inputs);
  const std::string work = who.work.empty() ? run_dir : run_dir + "/" + who.work;
  std::filesystem::create_directories(work);
  settle(dir);
  const tool_run result = launcher.run(work, who.command);
  settle(dir);
  if (result.status != 0) throw std::runtime_error(who.label + " exited with status " + std::to_string(result.status));
  const std::size_t left = files_under(run_dir) - inputs.size();
  if (left != who.files) {
    throw std::runtime_error(who.label + " left " + std::to_string(left) + " files, not " + std::to_string(who.files));
  }
  return result;
}

bool inflate_with_zlib_only(unsigned char* destination, std::size_t room, const unsigned char* source,
                            std::size_t source_length) {
  return inflate_with_zlib(destination, room, source, source_length).outcome == inflate_outcome::complete;
}

bool inflate_as_the_tool_does(unsigned char* destination, std::size_t room, const unsigned char* source,
                              std::size_t source_length) {
  static inflater reused;  // one for every stream, as each of the tool's workers keeps one
  return reused.inflate(destination, room, source, source_length).outcome == inflate_outcome::complete;
}

double time_inflating(const bench_archive& archive, inflate_function inflate, unsigned char* buffer) {
  const std::vector<span> spans = archive.spans();
  int failures = 0;
  const auto start = clock_type::now();
  for (const span& s : spans) {
    failures += !inflate(buffer, s.room, reinterpret_cast<const unsigned char*>(s.stream.data()), s.stream.size());
  }
  const double seconds = seconds_since(start);
  if (failures != 0) throw std::runtime_error("a benchmark span did not inflate");
  return seconds;
}

double time_writing(const std::string& run_dir, const bench_archive& archive) {
  const std::vector<output_file> outputs = archive.outputs();
  const std::string out = run_dir + "/" + archive.output_dir() + "-floor";
  const auto start = clock_type::now();
  if (mkdir(out.c_str(), 0777) != 0) throw std::runtime_error("cannot create " + out);
  const int out_dir = open(out.c_str(), O_RDONLY | O_DIRECTORY);
  for (const output_file& file : outputs) {
    const int written = openat(out_dir, file.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (written < 0) throw std::runtime_error("cannot create " + file.name);
    write_whole(written, file.bytes);
    close(written);
  }
  close(out_dir);
  return seconds_since(start);
}

}  // namespace darvex::bench
