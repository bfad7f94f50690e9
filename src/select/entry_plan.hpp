#pragma once

// The plan of a run: the selected entries of the table, each with its span and its verdict,
// decided before anything is read, so that extraction, testing and listing treat each entry
// alike. The plan owns everything it holds.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/archive.hpp"
#include "select/entry_name.hpp"

namespace darvex {

struct planned_entry {
  std::uint32_t position = 0;      // counted from 1, as messages show it
  std::string name;                // the stored name bytes, up to the first zero byte
  std::uint64_t start = 0;         // archive offset of the span
  std::uint64_t end = 0;           // one past the span, at most index_offset; before start when out of order
  std::uint32_t size = 0;          // the inflated size the index records
  entry_path path;                 // where extraction puts it
  std::optional<problem> refusal;  // why the entry must not be read or written
  // The latest earlier entry of the plan whose path touches this one's: the same path, one that
  // lies under it, or one that holds it, compared as names that may be one file on some system.
  // Extraction writes this entry only once that one and every entry before it are done, so that
  // index order decides which of touching entries wins and which fails.
  std::optional<std::size_t> waits_for;
  // The nearest earlier entry of the plan that writes the same file.
  std::optional<std::size_t> same_file_as;
  bool names_table = false;  // writes the file that holds the index dump, by this system's rules

  bool refused() const { return refusal.has_value(); }
  bool span_known() const { return end >= start; }
  std::uint64_t span_length() const { return span_known() ? end - start : 0; }
};

// Which entries a run takes: those whose names match one of `includes` (every entry when there
// is none) and none of `excludes`, and that keep a part once their first `strip_components`
// parts are dropped. A pattern without wildcards also takes everything under the folder it
// names ("data/tex" takes "data\\tex\\rock.dds").
struct entry_selection {
  std::vector<std::string> includes;
  std::vector<std::string> excludes;
  unsigned strip_components = 0;
};

struct entry_plan {
  std::vector<planned_entry> entries;  // the selected entries, in index order
  // The largest span and the largest size among the selected entries that are not refused:
  // what a worker's buffers are made for, once.
  std::uint64_t largest_span = 0;
  std::uint32_t largest_size = 0;
  std::vector<std::string> unmatched;  // the includes that match no entry at all
  // Every entry's stored name, selected or not, when there are includes: where a hint for an
  // unmatched one is looked for.
  std::vector<std::string> all_names;
};

// Plans the entries of the table that `selection` takes, in index order. Entry i's span runs
// from its offset to the next entry's offset and the last entry's to index_offset; no span runs
// past index_offset. Verdicts are those of the whole table, whatever is selected; on Windows
// patterns match letters in either case, beyond ASCII too.
entry_plan plan_entries(const entry_table& table, std::uint32_t entry_count, std::uint32_t index_offset,
                        const entry_selection& selection = {});

}  // namespace darvex
