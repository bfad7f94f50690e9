#pragma once

// What a new archive is made of, decided before anything is read or written: its index (the
// records in their order, their unread bytes and trailers) and its data from the end of the
// header to the index, as pieces in file order. With an original archive, its bytes are kept
// where they lie: each entry's span is a piece of its own and the bytes between spans (those
// before the first entry, those of entries extraction refuses, those after the last) are
// pieces that are copied; an entry's new stream takes the place of its span, so that offsets
// keep their order. Files that no record names follow, as new records.
//
// The file at a record's name is always what goes in for it: the file of the last record of that
// name that extraction writes, or else of the last that it refuses for its bytes (its span, its
// size, an offset in the header); an earlier record of the same name keeps its stored bytes. A
// record whose file is missing keeps its stored bytes too, or with `sync` leaves the archive.

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
  copy,     // original bytes kept as they lie, between spans
  drop,     // an entry's span, left out with its record (-x, or --sync for a missing file)
  check,    // an entry's span kept without a file of its own (missing, written over by a later
            // entry, a folder): inflated as extraction inflates it, to tell whether it is damaged
  compare,  // an entry's span, kept when its file holds exactly what extraction writes for it,
            // or else replaced by the file compressed
  revise,   // the same for a record whose offset lies in the header, so that its bytes are no
            // span of their own: kept pointing there, or else a new stream written here
  pack,     // a file compressed (in place of the original bytes from start to end, if any)
  empty,    // a stream of nothing: a folder entry without an original
};

struct pack_piece {
  piece_kind kind = piece_kind::copy;
  std::optional<std::size_t> record;  // the record of the new index whose stream this is
  std::uint64_t start = 0;            // copy, drop, compare: the original bytes it stands for
  std::uint64_t end = 0;
  std::uint32_t room = 0;           // check, compare, revise: the recorded size, the room extraction inflates into
  std::optional<std::size_t> file;  // compare, revise, pack: the file it is made from
  bool added = false;               // pack: a file that no record names
};

// Whether the piece stands for original bytes of its own, so that offsets into them can follow it.
inline bool stands_for_original_bytes(const pack_piece& piece) {
  return piece.kind != piece_kind::empty && piece.kind != piece_kind::revise &&
         (piece.kind != piece_kind::pack || piece.end > piece.start);
}

// A record that leaves the archive because its file is missing (--sync).
struct dropped_record {
  std::string name;  // the stored name bytes
  std::uint32_t size = 0;
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
  // By record: whether its file is missing, so that its stored bytes are kept without one.
  std::vector<bool> file_missing;
  std::vector<dropped_record> dropped;  // in the starting index's order
  // The records' original offsets, by new record; nothing for added records.
  std::vector<std::optional<std::uint32_t>> original_offsets;
  std::optional<std::uint32_t> original_index_offset;  // with an original archive
};

// What decides which records go in besides the files.
struct pack_choices {
  std::vector<std::string> excludes;  // -x: the records (and files) these take are left out
  bool sync = false;                  // --sync: a record whose file is missing is left out
};

// Plans the archive from `index` (the records to start from: the original's, table.bin's, or
// none), the original's layout when there is one, and the folder's files (sorted, with the
// excludes applied). Without an original every record's name must be one extraction writes,
// and its file must exist unless `choices.sync` leaves it out; `root_path` names the folder in
// messages.
[[nodiscard]] maybe_problem plan_pack(index_image index, const original_layout* original,
                                      const std::vector<source_file>& files, const pack_choices& choices,
                                      const std::string& root_path, pack_plan& plan);

// The limits an archive must keep, checked on the plan: entries, the inflated index, the files
// it compresses. `archive_path` names the new archive in messages.
[[nodiscard]] maybe_problem check_pack_limits(const pack_plan& plan, const std::vector<source_file>& files,
                                              const std::string& root_path, const std::string& archive_path);

}  // namespace darvex
