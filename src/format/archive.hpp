#pragma once

// The archive reader: the archive file read by position, the index parsed from memory into the
// entry table, and the plan of entries that extraction, listing and testing share.
// The reader never prints and never exits: each step returns what went wrong, if anything, as
// a problem with a kind, and the front end decides what the user sees.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "format/inflate.hpp"
#include "format/problem.hpp"
#include "platform/platform.hpp"

namespace darvex {

inline constexpr std::size_t MAX_ENTRIES = 3500;
inline constexpr std::size_t NAME_SLOT_SIZE = 256;
inline constexpr std::size_t INDEX_BUFFER_SIZE = 524288;    // 0x80000
inline constexpr std::size_t ENTRY_BUFFER_SIZE = 13107200;  // 0xC80000, 12.5 MiB: the largest span or size
inline constexpr const char* TABLE_NAME = "table.bin";      // the inflated index, as extraction leaves it

// The layout's fixed places, which the reader reads and the writer writes (load_index.cpp,
// read_entry_table.cpp).
inline constexpr std::uint64_t INDEX_OFFSET_AT = 8;     // the archive's index_offset, after 8 unread bytes
inline constexpr std::uint64_t HEADER_SIZE = 12;        // the header: those 8 bytes and index_offset
inline constexpr std::size_t ENTRY_COUNT_AT = 6;        // the index's entry_count, after 6 unread bytes
inline constexpr std::size_t RECORDS_AT = 26;           // the first record, after 16 more unread bytes
inline constexpr std::size_t RECORD_FIXED_SIZE = 26;    // a record less its name: length, offset, size, trailer
inline constexpr std::size_t RECORD_TRAILER_SIZE = 17;  // the end of each record, not interpreted
inline constexpr std::size_t MAX_NAME_LENGTH = NAME_SLOT_SIZE - 1;  // what one length byte counts

// Bytes in memory read one at a time, as from a stream: a read past the end gives 0xFF.
class byte_cursor {
 public:
  byte_cursor(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  unsigned char next() { return at_ < size_ ? bytes_[at_++] : (at_++, 0xFF); }
  void skip(std::size_t count) { at_ += count; }
  void seek(std::size_t at) { at_ = at; }

 private:
  const unsigned char* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Reads four single bytes, most significant first; each past the end contributes 0xFF.
std::uint32_t read_be32(byte_cursor& bytes);

// Writes `value` as four bytes at `out`, most significant first: what read_be32 reads back.
void write_be32(std::uint32_t value, unsigned char* out);

// The archive, open for reading by position: any thread may read any span at any time.
class archive_file {
 public:
  // Opens the archive at `path` (command-line text) for reading.
  [[nodiscard]] maybe_problem open(const std::string& path);
  // Takes `file`, already open for reading, as the archive that messages call `path`.
  [[nodiscard]] maybe_problem open(platform::file_handle file, const std::string& path);

  const std::string& path() const { return path_; }
  std::uint64_t size() const { return size_; }
  // Which file it is, so that nothing extracted replaces it.
  const platform::file_identity& identity() const { return identity_; }
  // Whether the file has no name but the last part of its path (no hard link elsewhere, and the
  // path not a link to it).
  bool named_only_by_path() const { return named_only_by_path_; }

  // Reads exactly `length` bytes at `offset`; a short file is a problem (err 0). `action` is
  // how the problem's reason begins.
  [[nodiscard]] maybe_problem read(std::uint64_t offset, void* buffer, std::size_t length,
                                   const char* action = "cannot read") const;

  // A problem with the archive itself, named by its path.
  problem trouble(problem_kind kind, std::string reason, int err = 0) const {
    return {kind, path_, std::move(reason), err};
  }

 private:
  platform::file_handle file_;
  std::string path_;
  std::uint64_t size_ = 0;
  platform::file_identity identity_;
  bool named_only_by_path_ = false;
};

// The inflated index: INDEX_BUFFER_SIZE bytes, the index and then zeros, as table.bin holds it.
struct loaded_index {
  std::uint32_t index_offset = 0;
  std::unique_ptr<unsigned char[]> bytes;
  inflate_result inflated{inflate_outcome::complete, 0};
};

// Reads the compressed index from the archive and inflates it. An index that reads but does
// not inflate completely still fills `index` (what came before the damage): check_index says so.
[[nodiscard]] maybe_problem load_index(const archive_file& archive, inflater& inflate, loaded_index& index);

// The index as loaded, when it did not inflate completely.
[[nodiscard]] maybe_problem check_index(const archive_file& archive, const loaded_index& index);

// The entries the index describes. Slot i's name is the stored name bytes and a zero byte.
struct entry_table {
  char names[MAX_ENTRIES][NAME_SLOT_SIZE];
  std::uint32_t offsets[MAX_ENTRIES];
  std::uint32_t sizes[MAX_ENTRIES];
};

// Parses entry_count and the index records from the inflated index into `entries`.
[[nodiscard]] maybe_problem read_entry_table(const archive_file& archive, const loaded_index& index,
                                             entry_table& entries, std::uint32_t& entry_count);

}  // namespace darvex
