#pragma once

// The archive writer: a plan (pack_plan.hpp) made into an archive, the reader's layout
// (load_index.cpp, read_entry_table.cpp) written with the reader's constants:
//
//   offset 0              8 bytes    not interpreted: the original's bytes 0-7, or zeros
//   offset 8              4 bytes    index_offset (big-endian), written once the data is
//   offset 12             ...        the plan's pieces in file order: bytes kept from the original
//                                    (what lies before the first entry, entries' spans, bytes
//                                    between them) and new zlib streams, one for each entry
//                                    made from its file
//   index_offset          to EOF     the compressed index: the original's own bytes when the
//                                    inflated index is unchanged, else the index compressed anew
//
// Nothing follows the index. Each record's offset is where its stream was written and its size
// the bytes its file holds (a kept entry keeps its size); a record without a stream of its own
// points as far into the copied bytes as it did in the original (past the index it stays past
// it). Each stream and each offset keeps the reader's limits: a stream of at most
// ENTRY_BUFFER_SIZE bytes, offsets below 4 GiB, a compressed index of at most
// INDEX_BUFFER_SIZE bytes.
//
// Entries are made by several workers (each file read and compressed, or compared with what
// extraction writes for the original's span) and written by the calling thread in file order,
// so the archive is the same bytes whatever the number of workers.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "create/pack_plan.hpp"
#include "create/pack_sources.hpp"
#include "format/archive.hpp"
#include "platform/process.hpp"

namespace darvex {

enum class entry_fate {
  kept,          // its stored bytes are the original's
  kept_no_file,  // its stored bytes are the original's, and it has no file in the folder
  kept_damaged,  // its stored bytes are the original's, which do not inflate cleanly
  packed,        // a new stream from its file
  added,         // a new record and stream, for a file that no record named
  dropped,       // left out, its file missing (--sync): no record of the new archive
};

// What became of one record: a value that whoever shows the run can print.
struct packed_entry {
  std::uint32_t position = 0;  // in the new index, counted from 1; 0 for a record dropped
  std::string name;            // the stored name bytes
  entry_fate fate = entry_fate::kept;
  std::uint32_t size = 0;             // the inflated size its record gives
  std::uint64_t stored = 0;           // the bytes of its stream (0 for a record without one)
  std::optional<std::string> damage;  // kept_damaged: how its stream fails to inflate
};

// Hears of each record once it is written: those with a stream of their own in file order,
// then the rest in index order, then those dropped.
class pack_listener {
 public:
  virtual void entry_packed(const packed_entry& entry) = 0;

 protected:
  ~pack_listener() = default;
};

// What a record's data must read back as.
struct entry_check {
  enum class kind {
    none,          // no stream of its own: nothing to check
    stored_bytes,  // the span holds the original's bytes: `length` bytes with CRC `crc`
    content,       // the span inflates to `length` bytes with CRC `crc`, completely
  };
  kind what = kind::none;
  std::uint64_t start = 0;   // where its span starts
  std::uint64_t stored = 0;  // the span's length
  std::uint64_t length = 0;
  std::uint32_t crc = 0;
};

// What was written, for the read-back.
struct written_archive {
  std::string header;  // the first HEADER_SIZE bytes
  std::string index;   // the inflated index
  std::uint32_t index_offset = 0;
  std::uint64_t size = 0;
  std::vector<entry_check> checks;  // by record
};

struct pack_settings {
  int level = 6;
  unsigned jobs = 1;
  platform::stop_check stopped = platform::never_stop;
};

// Writes the archive that `plan` describes to `out`, a new empty file (`out_path` in messages),
// telling `listener` of each record. Stops early, with no problem, once `settings.stopped()`.
[[nodiscard]] maybe_problem write_archive(const pack_plan& plan, const pack_sources& sources,
                                          const pack_settings& settings, const platform::file_handle& out,
                                          const std::string& out_path, pack_listener& listener,
                                          written_archive& written);

}  // namespace darvex
