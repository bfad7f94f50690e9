#include "measurements.hpp"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
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

}  // namespace

open_file::open_file(int descriptor, const std::string& what) : descriptor_(descriptor) {
  if (descriptor_ < 0) throw std::runtime_error("cannot open " + what);
}

open_file::~open_file() { close(descriptor_); }

void write_whole(int file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(file, bytes.data(), bytes.size());
    if (written <= 0) throw std::runtime_error("cannot write a file for a floor");
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

std::size_t files_under(const std::string& dir) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) count += entry.is_regular_file();
  return count;
}

std::string run_dir_of(const std::string& dir, const std::string& id, int run) {
  return dir + "/runs/" + id + "-" + std::to_string(run);
}

bool on_tmpfs(const std::string& dir) {
  struct statfs about {};
  return statfs(dir.c_str(), &about) == 0 && about.f_type == TMPFS_MAGIC;
}

void done_with_run(const std::string& dir, const std::string& id, int run, bool remove) {
  if (remove) std::filesystem::remove_all(run_dir_of(dir, id, run));
}

std::string make_run_dir(const std::string& dir, const std::string& id, int run,
                         const std::vector<std::string>& inputs) {
  const std::string run_dir = run_dir_of(dir, id, run);
  std::filesystem::create_directories(run_dir);
  for (const std::string& input : inputs) std::filesystem::create_hard_link(dir + "/" + input, run_dir + "/" + input);
  return run_dir;
}

void settle(const std::string& dir) {
  const open_file handle(open(dir.c_str(), O_RDONLY | O_DIRECTORY), dir);
  if (syncfs(handle.get()) != 0) throw std::runtime_error("cannot sync " + dir);
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
  const open_file out_dir(open(out.c_str(), O_RDONLY | O_DIRECTORY), out);
  for (const output_file& file : outputs) {
    const open_file written(openat(out_dir.get(), file.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666), file.name);
    write_whole(written.get(), file.bytes);
  }
  return seconds_since(start);
}

}  // namespace darvex::bench
