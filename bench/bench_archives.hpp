#pragma once

// The benchmark's two archives, made with the project's test-archive writer from fixed seeds,
// so that every run of the benchmark measures the same bytes:
//   A: about 200 MiB of entry data in 500 entries of a few bytes to 12 MiB, a mix of text-like,
//      structured binary and incompressible contents;
//   B: 3,500 tiny entries;
//   T and F: 3,000 entries of 100 bytes to 4 KiB, in T in 150 folders two deep (10 of 15 each,
//      as "group_07\\folder_12\\file_0042.txt"), in F the same entries flat, so that the two
//      show what making and entering folders costs.
// Each keeps what the floors need: the compressed spans and the files the tool writes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive_writer.hpp"

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
};

bench_archive make_archive_a();
bench_archive make_archive_b();
bench_archive make_archive_tree();
bench_archive make_archive_flat();

}  // namespace darvex::bench
