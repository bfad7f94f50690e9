// Index layout: the inflated index, as table.bin holds it. Offsets count from the start of
// table.bin; integers are big-endian unsigned 32-bit values.
//
//   offset 0    6 bytes    not interpreted
//   offset 6    4 bytes    entry_count: the number of records
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
// Every read is a single byte from the stream. Records claimed beyond the inflated index come
// from table.bin's zero padding; reads past its end give 0xFF bytes, as read_be32 does.

#include <cerrno>

#include "archive/archive.hpp"
#include "platform/platform.hpp"

namespace darvex {
namespace {

constexpr std::uint64_t ENTRY_COUNT_FIELD = 6;
constexpr std::size_t COUNT_TO_RECORDS = 16;
constexpr std::size_t RECORD_TRAILER = 17;

// Skips by reading: a seek costs a system call even inside the stream's buffer, and this runs
// once per record. Past the end it reads nothing, and later reads give EOF, as after a seek.
template <std::size_t BYTES>
bool skip(std::FILE* stream) {
  char skipped[BYTES];
  std::fread(skipped, 1, BYTES, stream);
  return !std::ferror(stream);
}

bool read_record(std::FILE* table, entry_table& entries, std::uint32_t slot) {
  const int length = static_cast<unsigned char>(std::fgetc(table));
  char* name = entries.names[slot];
  for (int i = 0; i < length; ++i) name[i] = static_cast<char>(std::fgetc(table));
  name[length] = '\0';
  entries.offsets[slot] = read_be32(table);
  entries.sizes[slot] = read_be32(table);
  return skip<RECORD_TRAILER>(table);
}

}  // namespace

stage_result read_entry_table(run_state& state) {
  std::FILE* table = state.table.get();
  const problem unreadable{quoted(TABLE_NAME), "cannot read"};
  if (!platform::seek_to(table, ENTRY_COUNT_FIELD)) return unreadable;
  const std::uint32_t count = read_be32(table);
  if (count > MAX_ENTRIES) {
    return archive_problem(state, "index lists " + std::to_string(count) + " entries, more than the " +
                                      std::to_string(MAX_ENTRIES) + " the entry table holds");
  }
  if (!skip<COUNT_TO_RECORDS>(table)) return unreadable;
  for (std::uint32_t slot = 0; slot < count; ++slot) {
    if (!read_record(table, state.entries, slot)) return unreadable;
  }
  state.entry_count = count;
  return std::nullopt;
}

}  // namespace darvex
