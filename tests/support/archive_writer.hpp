#pragma once

// Writes test archives from names and bytes, with every field open to tampering, so that tests
// and the example can make valid, damaged and hostile archives alike. Test support only: it
// writes what tests ask for, however broken, where the tool's own writer (-c, src/create/)
// writes only archives that read back as written.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace darvex::test_support {

// The zlib stream (RFC 1950) of `data`, at zlib's `level` (-1: its default, 1: fastest).
std::string zlib_compress(std::string_view data, int level = -1);

struct test_entry {
  std::string name;
  std::string stream;                   // the bytes stored for the entry, usually a zlib stream
  std::uint32_t size = 0;               // the inflated size the index records
  std::optional<std::uint32_t> offset;  // the offset the index records; default: where it lies
};

// A name with a number after it: numbered("e", 7) is "e7".
inline std::string numbered(std::string_view prefix, std::size_t number) {
  return std::string(prefix).append(std::to_string(number));
}

// An entry holding `data`, compressed, with its true size.
test_entry entry(std::string name, std::string_view data);

struct test_archive {
  std::string header = "DARVTEST";  // bytes 0..7, never interpreted
  std::string gap;                  // bytes between the header and the first entry
  std::uint64_t data_start = 0;     // where the first entry lies when non-zero (a hole before it)
  std::vector<test_entry> entries;
  std::optional<std::uint32_t> entry_count;       // default: entries.size()
  std::optional<std::uint32_t> index_offset;      // default: where the compressed index lies
  std::string index_head = std::string(6, '\0');  // index bytes 0..5
  std::string index_gap = std::string(16, '\0');  // index bytes 10..25
  std::string trailer = std::string(17, '\0');    // every record's 17-byte trailer
  std::string index_tail;                         // inflated index bytes after the records
  std::optional<std::string> index_stream;        // the stored compressed index; default: compressed
  std::string after_index;                        // bytes stored after the index's zlib stream

  // Where each entry's stream lies in the archive.
  std::vector<std::uint64_t> stream_offsets() const;
  // The index as it inflates, records and all.
  std::string inflated_index() const;
  // The whole archive in memory (holes included, so keep data_start small).
  std::string bytes() const;
  // Writes the archive to `path`, leaving any hole before data_start unwritten (sparse).
  void write_to(const std::string& path) const;

 private:
  std::string head_bytes() const;  // header, index_offset and gap
  std::string body_bytes() const;  // entries' streams and the compressed index
};

// Bytes that compress like text, like structured binary, or not at all; the same seed
// always gives the same bytes.
std::string text_like(std::size_t length, std::uint32_t seed);
std::string binary_like(std::size_t length, std::uint32_t seed);
std::string incompressible(std::size_t length, std::uint32_t seed);
// `unit` again and again, cut at `length`: megabytes of it compress to kilobytes and inflate fast.
std::string repeated(std::string_view unit, std::size_t length);

}  // namespace darvex::test_support
