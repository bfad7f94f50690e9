#pragma once

// The plan of a run: every entry of the table with its span and its verdict, decided before
// anything is read, so that extraction, testing and listing treat each entry alike.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.hpp"

namespace darvex {

struct planned_entry {
  std::uint32_t position;  // counted from 1, as messages show it
  const char* name;        // the stored name bytes, up to the first zero byte
  std::uint64_t start;     // archive offset of the span
  std::uint64_t end;       // one past the span, at most index_offset; before start when out of order
  std::uint32_t size;      // the inflated size the index records
  std::string refusal;     // why the entry must not be read or written; empty when it may be
  // The nearest earlier entry that writes the same file: it must be written first.
  std::optional<std::size_t> same_file_before;
  bool names_table = false;  // writes the file that holds the index dump
  bool selected = true;
  // The name as text, in the case names are compared in: what -i and -x match and what decides
  // which names are one file. The stored bytes where they are not text in the system's code page.
  std::string folded_name;

  bool refused() const { return !refusal.empty(); }
  bool span_known() const { return end >= start; }
  std::uint64_t span_length() const { return span_known() ? end - start : 0; }
};

struct entry_plan {
  std::vector<planned_entry> entries;
};

// One planned entry per table slot, in index order. Entry i's span runs from its offset to the
// next entry's offset and the last entry's to index_offset; no span runs past index_offset.
entry_plan plan_entries(const entry_table& table, std::uint32_t entry_count, std::uint32_t index_offset);

// Selects the entries whose names match one of `includes` (every entry when there is none) and
// none of `excludes`; on Windows letters match in either case, beyond ASCII too. Returns the
// includes that match no entry at all.
std::vector<std::string> select_entries(entry_plan& plan, const std::vector<std::string>& includes,
                                        const std::vector<std::string>& excludes);

}  // namespace darvex
