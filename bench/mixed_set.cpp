#include "mixed_set.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>

#include "bench_archives.hpp"
#include "bench_sets.hpp"
#include "format/archive.hpp"
#include "zip_writer.hpp"

namespace darvex::bench {
namespace {

constexpr std::uint32_t SEED = 15360;
constexpr std::uint64_t MEAN_ENTRY = 450 * 1024;

struct made_entry {
  std::string stream;
  std::uint32_t crc = 0;
};

// Each planned entry's zlib stream and CRC-32, made on `threads` threads.
std::vector<made_entry> make_entries(const std::vector<mixed_entry>& planned, unsigned threads) {
  std::vector<made_entry> made(planned.size());
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failure_lock;
  const auto work = [&] {
    try {
      for (std::size_t i = next++; i < planned.size(); i = next++) {
        const std::string contents = planned[i].contents();
        made[i] = {test_support::zlib_compress(contents), crc32_of(contents)};
      }
    } catch (...) {
      const std::lock_guard<std::mutex> hold(failure_lock);
      failure = std::current_exception();
    }
  };
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work);
  for (std::thread& worker : workers) worker.join();
  if (failure) std::rethrow_exception(failure);
  return made;
}

}  // namespace

mixed_set write_mixed_set(const std::string& dir, std::uint64_t mib) {
  const std::uint64_t target = mib * 1024 * 1024;
  const std::vector<mixed_entry> planned =
      plan_mixed_entries(SEED, static_cast<std::size_t>(std::max<std::uint64_t>(1, target / MEAN_ENTRY)), target);
  std::vector<made_entry> made = make_entries(planned, default_jobs());
  mixed_set set;
  set.entries = planned.size();
  const auto [smallest, largest] = std::minmax_element(
      planned.begin(), planned.end(), [](const mixed_entry& x, const mixed_entry& y) { return x.size < y.size; });
  set.smallest = smallest->size;
  set.largest = largest->size;
  const std::size_t archive_count = (planned.size() + MAX_ENTRIES - 1) / MAX_ENTRIES;
  const std::size_t per_archive = (planned.size() + archive_count - 1) / archive_count;
  std::vector<test_support::zip_member> members;
  for (std::size_t first = 0; first < planned.size(); first += per_archive) {
    test_support::test_archive archive;
    for (std::size_t i = first; i < std::min(first + per_archive, planned.size()); ++i) {
      const auto size = static_cast<std::uint32_t>(planned[i].size);
      archive.entries.push_back({planned[i].name, std::move(made[i].stream), size, {}});
      members.push_back(zip_member_like(archive.entries.back(), made[i].crc));
      set.bytes += size;
    }
    const std::string stem = std::string("M").append(std::to_string(set.archives.size() + 1));
    set.archives.push_back(stem + ".dat");
    archive.write_to(dir + "/" + set.archives.back());
    set.archive_bytes += std::filesystem::file_size(dir + "/" + set.archives.back());
    set.floor.push_back(floor_of(std::move(archive), stem));
  }
  test_support::write_zip(dir + "/" + set.zip, members);
  set.zip_bytes = std::filesystem::file_size(dir + "/" + set.zip);
  return set;
}

}  // namespace darvex::bench
