#pragma once

// The benchmark's two archives, made with the project's test-archive writer from fixed seeds,
// so that every run of the benchmark measures the same bytes:
//   A: about 200 MiB of entry data in 500 entries of a few bytes to 12 MiB, a mix of text-like,
//      structured binary and incompressible contents;
//   B: 3,500 tiny entries.
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

}  // namespace darvex::bench
