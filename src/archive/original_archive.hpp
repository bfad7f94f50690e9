#pragma once

// An archive whose bytes a new one keeps (-c with --like), read as extraction reads it: its
// index loaded and checked, its entries planned, the file held open for their bytes.

#include <string>

#include "archive/archive.hpp"
#include "archive/pack_plan.hpp"

namespace darvex {

struct original_archive {
  archive_file file;
  std::string index;  // its inflated index, without the zeros after it
  original_layout layout;
};

// Reads the archive at `path` (command-line text). An index that does not load, or whose offset
// lies inside the header (where the new index_offset is written), is a problem.
[[nodiscard]] maybe_problem read_original(const std::string& path, original_archive& original);

}  // namespace darvex
