#pragma once

// The benchmark's generated archives, made with the project's test-archive writer from fixed
// seeds, so that every run of the benchmark measures the same bytes:
//   A: about 200 MiB of entry data in 500 entries of a few bytes to 12 MiB, a mix of text-like,
//      structured binary and incompressible contents (the mixed set, mixed_set.hpp, is the
//      same mix, larger);
//   B: 3,500 tiny entries;
//   T and F: 3,000 entries of 100 bytes to 4 KiB, in T in 150 folders two deep (10 of 15 each,
//      as "group_07\\folder_12\\file_0042.txt"), in F the same entries flat, so that the two
//      show what making and entering folders costs;
//   the tiny files: 3,500 entries of 0 to 2,048 bytes, nested in three levels of folders with
//      100 folders at the bottom, entry i in the (i % 100)th ("data_3\\pack_1\\set_4\\file_0042.txt"),
//      or the same entries flat ("data_1_pack_3_set_2_file_0042.txt").
// Each keeps what the floors need: the compressed spans and the files the tool writes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive_writer.hpp"
#include "zip_writer.hpp"

namespace darvex::bench {

struct span {
  std::string_view stream;  // the compressed bytes
  std::size_t room;         // the room the tool inflates them into
};

struct output_file {
  std::string name;
  std::string_view bytes;
};

struct bench_archive {
  std::string file_name;  // "A.dat"; the tool writes its files to "A/"
  test_support::test_archive archive;
  std::vector<std::string> contents;  // entry i's inflated bytes
  std::string compressed_index;
  std::string table;  // table.bin as the tool writes it

  std::vector<span> spans() const;           // the entries', then the index's
  std::vector<output_file> outputs() const;  // the entries', then table.bin
  std::uint64_t output_bytes() const;
  std::string output_dir() const;  // the file name less ".dat"
  std::string zip_name() const;    // "A.zip": the same entries, for the zip extractors

  // Writes the same entries to `dir` as a zip, `zip_name()`.
  void write_zip_to(const std::string& dir) const;
};

// One entry of the mix of text-like, structured binary and incompressible contents.
struct mixed_entry {
  std::string name;  // "asset_0042.xml"
  std::size_t size;
  std::string (*make)(std::size_t, std::uint32_t);
  std::uint32_t seed;

  std::string contents() const { return make(size, seed); }
};

// `count` entries of the mix, drawn from `seed`, adding up to about `bytes`: sizes spread over
// orders of magnitude, most small and a few large, entry 0 the largest an entry may be (12 MiB,
// or half of `bytes` when that is less).
std::vector<mixed_entry> plan_mixed_entries(std::uint32_t seed, std::size_t count, std::uint64_t bytes);

// The zip member of `entry` (names with "/" between folders, the same deflate data), whose
// inflated bytes have the CRC-32 `crc`.
test_support::zip_member zip_member_like(const test_support::test_entry& entry, std::uint32_t crc);
std::uint32_t crc32_of(std::string_view bytes);

bench_archive make_archive_a();
bench_archive make_archive_b();
bench_archive make_archive_tree();
bench_archive make_archive_flat();
bench_archive make_tiny_nested();
bench_archive make_tiny_flat();

}  // namespace darvex::bench
