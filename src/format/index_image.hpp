#pragma once

// The inflated index as the bytes a writer edits in place (the layout is read_entry_table.cpp's):
// records' offset and size fields rewritten, records added after the last one or taken out, and
// entry_count kept in step with them. Every other byte (the 6 + 16 unread bytes, each record's
// 17-byte trailer, whatever follows the records) stays as it was, so an index whose records are
// given back their own values is the index it was, byte for byte.
//
// The image is read as the reader reads the index: past its end come zeros up to
// INDEX_BUFFER_SIZE, then 0xFF bytes. Records that lie (partly) past the end, in those zeros, are
// records all the same; a field is written there only when its value differs from what is read.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace darvex {

class index_image {
 public:
  struct record {
    std::string name;        // the stored name bytes, up to the first zero byte (as the reader takes it)
    std::size_t at = 0;      // where its length byte lies
    std::size_t length = 0;  // its name length byte
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
  };

  // An index of no records: 26 zero bytes.
  index_image();

  // The index in `bytes` (as inflated, without the zeros after it), or nothing when its
  // entry_count exceeds MAX_ENTRIES.
  static std::optional<index_image> parse(std::string bytes);

  // The index that a dump of INDEX_BUFFER_SIZE bytes (table.bin) holds: the zeros after its last
  // record or last non-zero byte, whichever comes later, are taken for the buffer's padding.
  static std::optional<index_image> from_dump(const std::string& dump);

  const std::vector<record>& records() const { return records_; }
  const std::string& bytes() const { return bytes_; }

  void set_fields(std::size_t record, std::uint32_t offset, std::uint32_t size);
  // Adds a record named `name` (at most MAX_NAME_LENGTH bytes, no zero byte) after the last one,
  // with 17 zero trailing bytes; whatever followed the records follows it.
  void add(const std::string& name, std::uint32_t offset, std::uint32_t size);
  // Takes record `record` out, bytes and all.
  void remove(std::size_t record);

 private:
  unsigned char read_at(std::size_t at) const;
  std::uint32_t read_be32_at(std::size_t at) const;
  void write_be32_at(std::size_t at, std::uint32_t value);
  // Makes the bytes up to `end` part of the image, as the reader reads them.
  void cover(std::size_t end);
  std::size_t records_end() const;
  void set_count();

  std::string bytes_;
  std::vector<record> records_;
};

}  // namespace darvex
