// Index layout: the inflated index, as table.bin holds it. Offsets count from the start of the
// index; integers are big-endian unsigned 32-bit values.
//
//   offset 0    6 bytes    not interpreted
//   offset 6    4 bytes    entry_count: the number of records, at most MAX_ENTRIES
//   offset 10   16 bytes   not interpreted
//   offset 26   ...        entry_count records, back to back, unaligned
//
// Record (26 + L bytes):
//
//   1 byte     name length L, 0 to 255
//   L bytes    name: taken as they are, no terminator, no character-set conversion
//   4 bytes    offset: absolute archive offset of the entry's zlib stream
//   4 bytes    size: the entry's inflated size in bytes
//   17 bytes   trailer, not interpreted
//
// The index is parsed from its INDEX_BUFFER_SIZE bytes in memory, zero padding included, one
// byte at a time as from a file: records claimed beyond the inflated index come from the
// padding, and reads past its end give 0xFF bytes, as read_be32 does.
// doc/format.md describes the archive, the index and what is refused, in one place.

#include "format/archive.hpp"

namespace darvex {
namespace {

void read_record(byte_cursor& index, entry_table& entries, std::uint32_t slot) {
  const unsigned length = index.next();  // name length
  char* name = entries.names[slot];
  for (unsigned i = 0; i < length; ++i) name[i] = static_cast<char>(index.next());
  name[length] = '\0';
  entries.offsets[slot] = read_be32(index);  // offset
  entries.sizes[slot] = read_be32(index);    // size
  index.skip(RECORD_TRAILER_SIZE);
}

}  // namespace

maybe_problem read_entry_table(const archive_file& archive, const loaded_index& index, entry_table& entries,
                               std::uint32_t& entry_count) {
  byte_cursor bytes(index.bytes.get(), INDEX_BUFFER_SIZE);
  bytes.seek(ENTRY_COUNT_AT);
  const std::uint32_t count = read_be32(bytes);
  if (count > MAX_ENTRIES) {
    return archive.trouble(problem_kind::index, "index lists " + std::to_string(count) + " entries, more than the " +
                                                    std::to_string(MAX_ENTRIES) + " the entry table holds");
  }
  bytes.seek(RECORDS_AT);
  for (std::uint32_t slot = 0; slot < count; ++slot) read_record(bytes, entries, slot);
  entry_count = count;
  return std::nullopt;
}

}  // namespace darvex
