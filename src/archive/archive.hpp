#pragma once

// The archive reader: the big-endian helper, the entry table, the run state the stages share,
// and the three stages of a run: load_index, read_entry_table and extract_entries.
// The reader never prints and never exits; each stage returns what went wrong, if anything,
// and the front end decides what the user sees.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "archive/file_stream.hpp"

namespace darvex {

inline constexpr std::size_t MAX_ENTRIES = 3500;
inline constexpr std::size_t NAME_SLOT_SIZE = 256;
inline constexpr std::size_t INDEX_BUFFER_SIZE = 524288;    // 0x80000
inline constexpr std::size_t ENTRY_BUFFER_SIZE = 13107200;  // 0xC80000, 12.5 MiB
inline constexpr const char* TABLE_NAME = "table.bin";      // the inflated index, on disk

// Reads four single bytes, most significant first. A read at end of file contributes 0xFF.
std::uint32_t read_be32(std::FILE* stream);

// The entries the index describes. Slot i's name is the stored name bytes and a zero byte.
struct entry_table {
  char names[MAX_ENTRIES][NAME_SLOT_SIZE];
  std::uint32_t offsets[MAX_ENTRIES];
  std::uint32_t sizes[MAX_ENTRIES];
};

// What the stages share for one run. The front end owns it for the whole run.
struct run_state {
  std::string archive_path;  // as given on the command line; used to name the archive in reasons
  file_stream archive;
  std::string output_dir;
  std::uint32_t index_offset = 0;
  file_stream table;  // table.bin, open for reading
  std::uint32_t entry_count = 0;
  entry_table entries;
};

// Something that stopped a stage or an entry: what it concerns and why.
struct problem {
  std::string subject;  // a quoted path, or an entry as `entry 7 (a.bin)`
  std::string reason;
};

// Empty when the stage did its work.
using stage_result = std::optional<problem>;

// A problem with the archive itself, named by its path.
inline problem archive_problem(const run_state& state, std::string reason) {
  return {quoted(state.archive_path), std::move(reason)};
}

// The four fixed working buffers, allocated once per run and never cleared. Their pages stay
// untouched until a stage writes to them, so a run pays only for what its entries use.
struct working_buffers {
  std::unique_ptr<unsigned char[]> index_stream{new unsigned char[INDEX_BUFFER_SIZE]};
  std::unique_ptr<unsigned char[]> index{new unsigned char[INDEX_BUFFER_SIZE]};
  std::unique_ptr<unsigned char[]> entry_stream{new unsigned char[ENTRY_BUFFER_SIZE]};
  std::unique_ptr<unsigned char[]> entry{new unsigned char[ENTRY_BUFFER_SIZE]};
};

// Inflates the archive's index, writes it to table.bin in the working directory and opens
// table.bin for reading. Fills index_offset and table.
stage_result load_index(run_state& state, working_buffers& buffers);

// Reads entry_count and the index records from table.bin into the entry table.
stage_result read_entry_table(run_state& state);

// Told of each entry as extraction goes: the progress of a run is the front end's to show.
class extraction_listener {
 public:
  // Entry `name` has been read (or refused) and is about to be inflated.
  virtual void entry_read(const char* name) = 0;
  // The entry just announced could not be extracted exactly.
  virtual void entry_failed(const problem& failure) = 0;

 protected:
  ~extraction_listener() = default;
};

// Extracts every entry, in index order, into the working directory. Returns how many entries
// were refused, failed to inflate cleanly or could not be written.
std::uint32_t extract_entries(const run_state& state, working_buffers& buffers,
                              extraction_listener& listener);

}  // namespace darvex
