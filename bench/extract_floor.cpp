#include "extract_floor.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>
#include <stdexcept>

#include "format/archive.hpp"
#include "format/inflate.hpp"
#include "measurements.hpp"

namespace darvex::bench {
namespace {

// Each folder `path` lies in, the outermost first, added to `folders` when not yet in `known`.
void add_folders_of(const std::string& path, std::set<std::string>& known, std::vector<std::string>& folders) {
  for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (known.insert(folder).second) folders.push_back(folder);
  }
}

// Inflates `file` into `buffer` and writes it under `out_dir`: the stream's bytes, then zeros
// to its room (table.bin is the index, then zeros).
void make_file(inflater& inflate, int out_dir, const floor_file& file, unsigned char* buffer) {
  const auto* stream = reinterpret_cast<const unsigned char*>(file.stream.data());
  const inflate_result result = inflate.inflate(buffer, file.room, stream, file.stream.size());
  if (result.outcome != inflate_outcome::complete) throw std::runtime_error("a floor stream did not inflate");
  std::memset(buffer + result.produced, 0, file.room - result.produced);
  const open_file written(openat(out_dir, file.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666), file.path);
  write_whole(written.get(), {reinterpret_cast<const char*>(buffer), file.room});
}

}  // namespace

floor_archive floor_of(test_support::test_archive&& archive, std::string output_dir) {
  floor_archive made{std::move(output_dir), {}, {}};
  std::set<std::string> known;
  std::string index = archive.index_stream.value_or(test_support::zlib_compress(archive.inflated_index()));
  for (test_support::test_entry& entry : archive.entries) {
    std::string path = std::move(entry.name);
    std::replace(path.begin(), path.end(), '\\', '/');
    add_folders_of(path, known, made.folders);
    made.files.push_back({std::move(path), std::move(entry.stream), entry.size});
  }
  made.files.push_back({TABLE_NAME, std::move(index), INDEX_BUFFER_SIZE});
  return made;
}

std::string floor_inflater() { return inflater_name().rfind("libdeflate", 0) == 0 ? "libdeflate" : "zlib"; }

double time_extract_floor(const std::string& run_dir, const std::vector<floor_archive>& archives,
                          unsigned char* buffer) {
  inflater inflate;
  std::memset(buffer, 0, ENTRY_BUFFER_SIZE);
  const auto start = std::chrono::steady_clock::now();
  for (const floor_archive& archive : archives) {
    const std::string out = run_dir + "/" + archive.output_dir;
    if (mkdir(out.c_str(), 0777) != 0) throw std::runtime_error("cannot create " + out);
    const open_file out_dir(open(out.c_str(), O_RDONLY | O_DIRECTORY), out);
    for (const std::string& folder : archive.folders) {
      if (mkdirat(out_dir.get(), folder.c_str(), 0777) != 0) throw std::runtime_error("cannot create " + folder);
    }
    for (const floor_file& file : archive.files) make_file(inflate, out_dir.get(), file, buffer);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::size_t files = 0;
  for (const floor_archive& archive : archives) files += archive.files.size();
  if (files_under(run_dir) != files)
    throw std::runtime_error("the floor left other than " + std::to_string(files) + " files");
  return seconds;
}

}  // namespace darvex::bench
