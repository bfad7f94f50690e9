#pragma once

// What a darvex_archive holds: the archive open for positional reads, its index, its entry table
// (kept for the plans of extractions that select) and the plan of every entry, whose names and
// refusals the entries point into.

#include <cstdint>
#include <memory>

#include "darvex/darvex.h"
#include "select/load_archive.hpp"

struct darvex_archive {
  darvex::loaded_archive loaded;
  std::unique_ptr<darvex::entry_table> table;
  std::uint32_t entry_count = 0;
};
