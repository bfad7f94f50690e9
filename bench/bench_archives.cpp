#include "bench_archives.hpp"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

#include "format/archive.hpp"

namespace darvex::bench {
namespace {

constexpr std::size_t LARGEST_ENTRY = 12 * 1024 * 1024;
constexpr std::size_t CRC_PIECE = 1 << 30;
constexpr std::size_t ZLIB_HEADER = 2, ZLIB_WRAPPING = 6;
constexpr std::size_t ARCHIVE_A_ENTRIES = 500;
constexpr std::size_t ARCHIVE_A_BYTES = 200 * 1024 * 1024;
constexpr std::size_t ARCHIVE_B_ENTRIES = MAX_ENTRIES;
constexpr std::size_t TREE_ENTRIES = 3000;
constexpr std::size_t TREE_GROUPS = 10;        // the first level of folders
constexpr std::size_t FOLDERS_PER_GROUP = 15;  // the second: 150 folders that hold files
constexpr std::size_t TINY_ENTRIES = MAX_ENTRIES;
constexpr std::size_t TINY_LARGEST = 2048;
// The tiny files' folders: 4 at the top, 5 in each, 5 in each of those: 100 that hold files.
constexpr std::size_t TINY_TOP = 4, TINY_MIDDLE = 5, TINY_BOTTOM = 5;
constexpr std::size_t TINY_LEAVES = TINY_TOP * TINY_MIDDLE * TINY_BOTTOM;

enum class content_kind { text, binary, incompressible };

struct kind_style {
  const char* extension;
  std::string (*make)(std::size_t, std::uint32_t);
};

kind_style style_of(content_kind kind) {
  switch (kind) {
    case content_kind::text:
      return {".xml", test_support::text_like};
    case content_kind::binary:
      return {".mesh", test_support::binary_like};
    case content_kind::incompressible:
      return {".png", test_support::incompressible};
  }
  return {".bin", test_support::incompressible};
}

// Sizes spread over orders of magnitude, most small and a few large, like game data: 4 bytes
// times (LARGEST / 4) to a power skewed towards 0, scaled so that they add up to the target.
// Entry 0 is the largest the tool allows (or half the target, when that is less).
std::vector<std::size_t> entry_sizes(std::mt19937& random, std::size_t count, std::uint64_t bytes) {
  std::vector<double> drawn(count, 0.0);
  double total = 0;
  for (double& size : drawn) {
    const double u = std::uniform_real_distribution<double>(0.0, 1.0)(random);
    total += size = 4.0 * std::pow(LARGEST_ENTRY / 4.0, std::pow(u, 2.1));
  }
  if (count == 0) return {};
  const std::size_t first = std::min<std::uint64_t>(LARGEST_ENTRY, count == 1 ? bytes : bytes / 2);
  const double scale = static_cast<double>(bytes - first) / std::max(total - drawn[0], 1.0);
  std::vector<std::size_t> sizes{first};
  for (std::size_t i = 1; i < drawn.size(); ++i) {
    sizes.push_back(std::clamp<std::size_t>(static_cast<std::size_t>(drawn[i] * scale), 1, LARGEST_ENTRY));
  }
  return sizes;
}

// Text (markup, scripts) and structured binary (tables, meshes) 40% each, already-compressed
// media 20%, by count.
content_kind entry_kind(std::mt19937& random) {
  const unsigned roll = random() % 10;
  return roll < 4 ? content_kind::text : roll < 8 ? content_kind::binary : content_kind::incompressible;
}

void add_entry(bench_archive& made, std::string name, std::string data) {
  made.archive.entries.push_back(test_support::entry(std::move(name), data));
  made.contents.push_back(std::move(data));
}

void finish(bench_archive& made) {
  made.compressed_index = test_support::zlib_compress(made.archive.inflated_index());
  made.archive.index_stream = made.compressed_index;
  made.table = made.archive.inflated_index();
  made.table.resize(INDEX_BUFFER_SIZE, '\0');
}

std::string numbered(const char* stem, std::size_t i, const char* extension) {
  return stem + std::to_string(10000 + i).substr(1) + extension;
}

// T's and F's entries: the same bytes, under names with folders or with the folders made part
// of one flat name.
bench_archive tree_or_flat(const char* file_name, const char* separator) {
  bench_archive made{file_name, {}, {}, {}, {}};
  std::mt19937 random(3000);
  for (std::size_t i = 0; i < TREE_ENTRIES; ++i) {
    const std::size_t folder = i % (TREE_GROUPS * FOLDERS_PER_GROUP);
    const std::string name = numbered("group_", folder / FOLDERS_PER_GROUP, "") + separator +
                             numbered("folder_", folder % FOLDERS_PER_GROUP, "") + separator +
                             numbered("file_", i, ".txt");
    add_entry(made, name, test_support::text_like(100 + random() % 4000, static_cast<std::uint32_t>(i)));
  }
  finish(made);
  return made;
}

// The tiny files: the same bytes under names with three folders or with the folders made part
// of one flat name; entry i lies in bottom folder i % 100.
bench_archive tiny_nested_or_flat(const char* file_name, const char* separator) {
  bench_archive made{file_name, {}, {}, {}, {}};
  std::mt19937 random(2048);
  for (std::size_t i = 0; i < TINY_ENTRIES; ++i) {
    const std::size_t leaf = i % TINY_LEAVES;
    const std::string name = "data_" + std::to_string(leaf / (TINY_MIDDLE * TINY_BOTTOM)) + separator + "pack_" +
                             std::to_string(leaf / TINY_BOTTOM % TINY_MIDDLE) + separator + "set_" +
                             std::to_string(leaf % TINY_BOTTOM) + separator + numbered("file_", i, ".txt");
    add_entry(made, name, test_support::text_like(random() % (TINY_LARGEST + 1), static_cast<std::uint32_t>(i)));
  }
  finish(made);
  return made;
}

}  // namespace

std::vector<span> bench_archive::spans() const {
  std::vector<span> all;
  for (const test_support::test_entry& e : archive.entries) all.push_back({e.stream, e.size});
  all.push_back({compressed_index, INDEX_BUFFER_SIZE});
  return all;
}

std::vector<output_file> bench_archive::outputs() const {
  std::vector<output_file> all;
  for (std::size_t i = 0; i < contents.size(); ++i) all.push_back({archive.entries[i].name, contents[i]});
  all.push_back({"table.bin", table});
  return all;
}

std::uint64_t bench_archive::output_bytes() const {
  std::uint64_t total = 0;
  for (const output_file& file : outputs()) total += file.bytes.size();
  return total;
}

std::string bench_archive::output_dir() const { return file_name.substr(0, file_name.size() - 4); }

std::string bench_archive::zip_name() const { return output_dir() + ".zip"; }

void bench_archive::write_zip_to(const std::string& dir) const {
  std::vector<test_support::zip_member> members;
  for (std::size_t i = 0; i < contents.size(); ++i) {
    members.push_back(zip_member_like(archive.entries[i], crc32_of(contents[i])));
  }
  test_support::write_zip(dir + "/" + zip_name(), members);
}

std::vector<mixed_entry> plan_mixed_entries(std::uint32_t seed, std::size_t count, std::uint64_t bytes) {
  std::mt19937 random(seed);
  const std::vector<std::size_t> sizes = entry_sizes(random, count, bytes);
  std::vector<mixed_entry> planned;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const kind_style style = style_of(entry_kind(random));
    planned.push_back({numbered("asset_", i, style.extension), sizes[i], style.make, static_cast<std::uint32_t>(i)});
  }
  return planned;
}

std::uint32_t crc32_of(std::string_view bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes lengths as uInt: large inputs go in pieces.
  for (std::size_t at = 0; at < bytes.size(); at += CRC_PIECE) {
    const std::size_t length = std::min(CRC_PIECE, bytes.size() - at);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data() + at), static_cast<uInt>(length));
  }
  return static_cast<std::uint32_t>(crc);
}

test_support::zip_member zip_member_like(const test_support::test_entry& entry, std::uint32_t crc) {
  std::string name = entry.name;
  std::replace(name.begin(), name.end(), '\\', '/');
  // A zlib stream is a 2-byte header, the deflate data, and a 4-byte Adler-32.
  if (entry.stream.size() < ZLIB_WRAPPING) throw std::runtime_error("not a zlib stream: " + entry.name);
  return {std::move(name), entry.stream.substr(ZLIB_HEADER, entry.stream.size() - ZLIB_WRAPPING), crc, entry.size};
}

bench_archive make_archive_a() {
  bench_archive made{"A.dat", {}, {}, {}, {}};
  for (const mixed_entry& e : plan_mixed_entries(20261208, ARCHIVE_A_ENTRIES, ARCHIVE_A_BYTES)) {
    add_entry(made, e.name, e.contents());
  }
  finish(made);
  return made;
}

bench_archive make_archive_b() {
  bench_archive made{"B.dat", {}, {}, {}, {}};
  std::mt19937 random(3500);
  for (std::size_t i = 0; i < ARCHIVE_B_ENTRIES; ++i) {
    add_entry(made, numbered("tiny_", i, ".txt"),
              test_support::text_like(1 + random() % 64, static_cast<std::uint32_t>(i)));
  }
  finish(made);
  return made;
}

bench_archive make_archive_tree() { return tree_or_flat("T.dat", "\\"); }

bench_archive make_archive_flat() { return tree_or_flat("F.dat", "_"); }

bench_archive make_tiny_nested() { return tiny_nested_or_flat("tiny_nested.dat", "\\"); }

bench_archive make_tiny_flat() { return tiny_nested_or_flat("tiny_flat.dat", "_"); }

}  // namespace darvex::bench
