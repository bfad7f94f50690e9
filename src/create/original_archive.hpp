#pragma once

// Where the records of a new archive come from: an archive whose bytes it keeps (-c with
// --like), read as extraction reads it (its index loaded and checked, its entries planned, the
// file held open for their bytes); or the index dump that extraction left in the folder.

#include <string>

#include "create/folder_scan.hpp"
#include "create/pack_plan.hpp"
#include "format/archive.hpp"
#include "format/index_image.hpp"

namespace darvex {

struct original_archive {
  archive_file file;
  std::string index;  // its inflated index, without the zeros after it
  original_layout layout;
};

// Reads the archive at `path` (command-line text), its names read by `names`. An index that does
// not load, or whose offset lies inside the header (where the new index_offset is written), is a
// problem.
[[nodiscard]] maybe_problem read_original(const std::string& path, original_archive& original,
                                          const name_encoding& names = {});

// The folder's table.bin as an index, left empty when there is none. A table.bin that is not
// INDEX_BUFFER_SIZE bytes, or lists more than MAX_ENTRIES records, is a problem.
[[nodiscard]] maybe_problem read_table_dump(const platform::directory& folder, const std::string& folder_path,
                                            std::optional<index_image>& table);

}  // namespace darvex
