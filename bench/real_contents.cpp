#include "real_contents.hpp"

#include <algorithm>
#include <fstream>
#include <optional>
#include <system_error>

#include "archive_writer.hpp"
#include "format/archive.hpp"
#include "zip_writer.hpp"

namespace darvex::bench {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t LARGEST_FILE = 12 * 1024 * 1024;
static_assert(LARGEST_FILE <= ENTRY_BUFFER_SIZE, "every selected file must fit one entry");
constexpr std::size_t LONGEST_OWN_NAME = 100;
constexpr int STRIDES_AROUND = 100;  // strides a hundredth apart tried on either side of the crossing

// The regular files under `root`, without following links; unreadable directories are passed over.
void add_candidates(const fs::path& root, std::vector<real_file>& into) {
  std::error_code error;
  fs::recursive_directory_iterator walk(root, fs::directory_options::skip_permission_denied, error);
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    std::error_code ignored;
    if (!walk->is_symlink(ignored) && walk->is_regular_file(ignored)) {
      const std::uintmax_t size = walk->file_size(ignored);
      if (!ignored && size <= LARGEST_FILE) into.push_back({walk->path(), size});
    }
  }
}

// "00042-libz.so.1.2.13": unique, flat, and safe on every platform.
std::string entry_name(std::size_t number, const fs::path& path) {
  std::string own = path.filename().string().substr(0, LONGEST_OWN_NAME);
  for (char& c : own) {
    const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                      c == '_' || c == '+' || c == '-';
    if (!kept) c = '_';
  }
  return std::to_string(100000 + number).substr(1) + "-" + own;
}

// The file's first `size` bytes, or nothing when it cannot be read or has become shorter.
std::optional<std::string> file_bytes(const real_file& file) {
  std::ifstream in(file.path, std::ios::binary);
  std::string bytes(file.size, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!in) return std::nullopt;
  return bytes;
}

std::uint64_t size_of(const std::string& path) { return fs::file_size(path); }

// Writes one archive of `entries` as R<number>.dat, adds its name, and keeps its streams for
// the floor.
void write_archive(std::vector<test_support::test_entry> entries, const std::string& dir, real_set& into) {
  test_support::test_archive archive;
  archive.entries = std::move(entries);
  const std::string stem = std::string("R").append(std::to_string(into.archives.size() + 1));
  into.archives.push_back(stem + ".dat");
  archive.write_to(dir + "/" + into.archives.back());
  into.floor.push_back(floor_of(std::move(archive), stem));
}

// Calls `take` with the candidates at 0, stride, 2 * stride, ..., rounded down (the stride
// need not be whole).
template <typename take_function>
void every_stride(const std::vector<real_file>& candidates, double stride, take_function&& take) {
  for (std::size_t k = 0;; ++k) {
    const auto at = static_cast<std::size_t>(static_cast<double>(k) * stride);
    if (at >= candidates.size()) return;
    take(candidates[at]);
  }
}

std::uint64_t bytes_at(const std::vector<real_file>& candidates, double stride) {
  std::uint64_t total = 0;
  every_stride(candidates, stride, [&total](const real_file& file) { total += file.size; });
  return total;
}

// The stride, to a hundredth, that takes the most bytes within `target_bytes`: sizes vary too
// much for the stride of the average file to come near the target, and too unevenly for the
// bytes taken to fall steadily as the stride grows, so the search ends looking around where
// the bytes cross the target.
double stride_for(const std::vector<real_file>& candidates, std::uint64_t target_bytes) {
  double low = 1, high = std::max<double>(1, static_cast<double>(candidates.size()));
  if (bytes_at(candidates, low) <= target_bytes) return low;
  while (high - low > 0.01) {
    const double middle = (low + high) / 2;
    if (bytes_at(candidates, middle) <= target_bytes) {
      high = middle;
    } else {
      low = middle;
    }
  }
  double best = high;
  std::uint64_t best_bytes = bytes_at(candidates, high);
  for (int step = -STRIDES_AROUND; step <= STRIDES_AROUND; ++step) {
    const double stride = high + step * 0.01;
    const std::uint64_t bytes = stride >= 1 ? bytes_at(candidates, stride) : target_bytes + 1;
    if (bytes <= target_bytes && bytes > best_bytes) {
      best = stride;
      best_bytes = bytes;
    }
  }
  return best;
}

}  // namespace

real_selection select_real_files(const std::vector<std::string>& roots, std::uint64_t target_bytes) {
  std::vector<real_file> candidates;
  for (const std::string& root : roots) add_candidates(root, candidates);
  std::sort(candidates.begin(), candidates.end(),
            [](const real_file& x, const real_file& y) { return x.path < y.path; });
  real_selection chosen;
  chosen.candidates = candidates.size();
  for (const real_file& file : candidates) chosen.candidate_bytes += file.size;
  chosen.stride = stride_for(candidates, target_bytes);
  every_stride(candidates, chosen.stride, [&chosen](const real_file& file) { chosen.files.push_back(file); });
  return chosen;
}

real_set pack_real_files(const real_selection& selection, const std::string& dir) {
  real_set made;
  const std::size_t total = selection.files.size();
  const std::size_t archive_count = std::max<std::size_t>(1, (total + MAX_ENTRIES - 1) / MAX_ENTRIES);
  const std::size_t per_archive = (total + archive_count - 1) / archive_count;
  std::vector<test_support::zip_member> members;
  std::vector<test_support::test_entry> entries;
  for (std::size_t i = 0; i < total; ++i) {
    if (const std::optional<std::string> bytes = file_bytes(selection.files[i])) {
      const std::string name = entry_name(i, selection.files[i].path);
      entries.push_back(test_support::entry(name, *bytes));
      members.push_back(test_support::zip_member_of(name, *bytes));
      made.bytes += bytes->size();
      ++made.files;
    } else {
      ++made.unreadable;
    }
    if ((i + 1) % per_archive == 0 || i + 1 == total) {
      write_archive(std::move(entries), dir, made);
      entries.clear();
    }
  }
  test_support::write_zip(dir + "/" + made.zip, members);
  for (const std::string& archive : made.archives) made.archive_bytes += size_of(dir + "/" + archive);
  made.zip_bytes = size_of(dir + "/" + made.zip);
  return made;
}

}  // namespace darvex::bench
