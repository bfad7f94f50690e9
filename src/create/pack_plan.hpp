#pragma once

// What a new archive is made of, decided before anything is read or written: its index (the
// records in their order, their unread bytes and trailers) and its data from the end of the
// header to the index, as pieces in file order. With an original archive, its bytes are kept
// where they lie: each entry's span is a piece of its own and the bytes between spans (those
// before the first entry, those of entries extraction refuses, those after the last) are
// pieces that are copied; an entry's new stream takes the place of its span, so that offsets
// keep their order. Files that no record names follow, as new records.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "create/folder_scan.hpp"
#include "format/index_image.hpp"
#include "format/problem.hpp"
#include "select/entry_plan.hpp"

namespace darvex {

enum class piece_kind {
  copy,     // original bytes kept as they lie: between spans, or a span kept without reading its file
  drop,     // an entry's span, left out with its record (-x)
  compare,  // an entry's span, kept when its file holds exactly what extraction writes for it,
            // or else replaced by the file compressed
  pack,     // a file compressed
  empty,    // a stream of nothing: a folder entry without an original
};

struct pack_piece {
  piece_kind kind = piece_kind::copy;
  std::optional<std::size_t> record;  // the record of the new index whose stream this is
  std::uint64_t start = 0;            // copy, drop, compare: the original bytes it stands for
  std::uint64_t end = 0;
  std::uint32_t room = 0;           // compare: the recorded size, the room extraction inflates into
  std::optional<std::size_t> file;  // compare, pack: the file it is made from
  bool added = false;               // pack: a file that no record names
};

// What the plan needs of the original archive.
struct original_layout {
  std::uint32_t index_offset = 0;
  std::vector<planned_entry> entries;  // every record, planned as extraction plans it
};

struct pack_plan {
  index_image index;
  std::vector<pack_piece> pieces;  // in file order
  // Records with no piece of their own (entries extraction refuses, kept as they lie among
  // the copied bytes), in index order: their offsets follow the bytes they point into.
  std::vector<std::size_t> unstreamed;
  // The records' original offsets, by new record; nothing for added records.
  std::vector<std::optional<std::uint32_t>> original_offsets;
  std::optional<std::uint32_t> original_index_offset;  // with an original archive
};

// Plans the archive from `index` (the records to start from: the original's, table.bin's, or
// none), the original's layout when there is one, and the folder's files (sorted, with
// `excludes` applied). Records whose names `excludes` takes are left out. Without an original
// every record's file must exist and its name be one extraction writes; `root_path` and
// `table_path` name the folder and table.bin in messages.
[[nodiscard]] maybe_problem plan_pack(index_image index, const original_layout* original,
                                      const std::vector<source_file>& files, const std::vector<std::string>& excludes,
                                      const std::string& root_path, pack_plan& plan);

// The limits an archive must keep, checked on the plan: entries, the inflated index, the files
// it compresses. `archive_path` names the new archive in messages.
[[nodiscard]] maybe_problem check_pack_limits(const pack_plan& plan, const std::vector<source_file>& files,
                                              const std::string& root_path, const std::string& archive_path);

}  // namespace darvex
