#include "create/pack_plan.hpp"

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "format/archive.hpp"
#include "select/name_glob.hpp"

namespace darvex {
namespace {

// A record of the starting index as this system reads it.
struct record_view {
  std::optional<std::string> text;  // the name as text, when the code page holds it
  entry_path path;
  std::string key;
  bool excluded = false;
  bool safe = false;  // a name extraction may write

  // Whether the name is a file that extraction may write: a file of the folder can be its.
  bool names_a_file() const { return safe && !path.folder && !path.parts.empty(); }
};

// What the plan does with a record.
enum class record_role {
  stays,       // kept as it was, with no file to look at (refused, a folder entry, an unsafe name)
  owner,       // the file at its name is what goes in for it
  superseded,  // a later record of the same name owns the file: kept as stored
  missing,     // no file at its name: kept as stored
  leaves,      // left out: excluded, or missing with --sync
};

// A piece of `kind` standing for the original bytes from `start` to `end`.
pack_piece piece_of(piece_kind kind, std::uint64_t start = 0, std::uint64_t end = 0) {
  pack_piece piece;
  piece.kind = kind;
  piece.start = start;
  piece.end = end;
  return piece;
}

std::vector<record_view> view_records(const index_image& index, const std::vector<std::string>& excludes) {
  const folded_patterns excluded(excludes);
  std::vector<record_view> views;
  for (const index_image::record& r : index.records()) {
    record_view view;
    view.text = platform::name_as_text(r.name.c_str());
    const std::string text = view.text.value_or(r.name);
    view.path = path_of_entry(text);
    view.key = file_key(view.path);
    view.excluded = excluded.any_takes(platform::case_folded(text));
    view.safe = view.text && unsafe_name_reason(view.text->c_str()) == nullptr;
    views.push_back(std::move(view));
  }
  return views;
}

// `name` as an -x pattern that takes it alone, quoted for a POSIX shell: its wildcards each in
// a class of their own, its single quotes closed and opened around an escaped one.
std::string exclude_argument(const std::string& name) {
  std::string quoted = "'";
  for (const char c : name) {
    if (c == '*' || c == '?' || c == '[') {
      quoted += std::string("[") + c + "]";
    } else if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// The key of the index dump that extraction leaves, table.bin.
const std::string& table_key() {
  static const std::string key = file_key(path_of_entry(TABLE_NAME));
  return key;
}

class pack_planner {
 public:
  pack_planner(const index_image& index, const std::vector<source_file>& files, const pack_choices& choices,
               const std::string& root_path)
      : records_(view_records(index, choices.excludes)), files_(files), sync_(choices.sync), root_path_(root_path) {
    for (std::size_t i = 0; i < files.size(); ++i) file_at_[files[i].key] = i;
  }

  // Every record's piece from its file; refused names, and missing files unless synced away, are problems.
  maybe_problem plan_without_original(pack_plan& plan) {
    if (auto failure = judge_without_original(plan.index)) return failure;
    for (std::size_t i = 0; i < records_.size(); ++i) {
      if (roles_[i] == record_role::leaves) continue;
      pack_piece piece = piece_of(roles_[i] == record_role::owner ? piece_kind::pack : piece_kind::empty);
      piece.record = kept_before_.at(i);
      if (piece.kind == piece_kind::pack) piece.file = file_at_.at(records_[i].key);
      plan.pieces.push_back(piece);
    }
    return std::nullopt;
  }

  // The original's bytes in file order: each span a piece, the bytes between them copied.
  void plan_with_original(const original_layout& original, pack_plan& plan) {
    judge_with_original(original);
    const std::vector<std::uint64_t> next_span = next_span_starts(original);
    std::uint64_t cursor = HEADER_SIZE;
    for (std::size_t i = 0; i < original.entries.size(); ++i) {
      const planned_entry& entry = original.entries[i];
      if (!has_span_of_its_own(entry)) {
        if (roles_[i] == record_role::owner) {
          plan_new_stream(entry, i, next_span[i], cursor, plan);
        } else if (roles_[i] != record_role::leaves) {
          plan.unstreamed.push_back(kept_before_.at(i));
        }
        continue;
      }
      if (entry.start > cursor) plan.pieces.push_back(piece_of(piece_kind::copy, cursor, entry.start));
      plan.pieces.push_back(span_piece(entry, i));
      cursor = entry.end;
    }
    if (cursor < original.index_offset) {
      plan.pieces.push_back(piece_of(piece_kind::copy, cursor, original.index_offset));
    }
    plan.original_index_offset = original.index_offset;
  }

  // New records for the files no record takes, in the files' order; table.bin is never one.
  void add_unnamed_files(pack_plan& plan) {
    std::unordered_set<std::string> named;
    for (std::size_t i = 0; i < records_.size(); ++i) {
      const record_role role = roles_[i];
      if (role == record_role::owner || role == record_role::superseded || records_[i].excluded) {
        named.insert(records_[i].key);
      }
    }
    named.insert(table_key());
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (named.count(files_[i].key) != 0) continue;
      pack_piece piece = piece_of(piece_kind::pack);
      piece.record = plan.index.records().size();
      piece.file = i;
      piece.added = true;
      plan.index.add(files_[i].stored_name, 0, 0);
      plan.original_offsets.emplace_back();
      plan.file_missing.push_back(false);
      plan.pieces.push_back(piece);
    }
  }

  // Takes the records that leave out of the index, telling the dropped ones.
  void remove_leaving(pack_plan& plan) {
    for (std::size_t i = records_.size(); i-- > 0;) {
      if (roles_[i] != record_role::leaves) continue;
      const index_image::record& r = plan.index.records()[i];
      if (!records_[i].excluded) plan.dropped.insert(plan.dropped.begin(), {r.name, r.size});
      plan.index.remove(i);
    }
    for (std::size_t i = 0; i < records_.size(); ++i) {
      if (roles_[i] == record_role::leaves) continue;
      plan.original_offsets.emplace_back(plan.index.records()[kept_before_.at(i)].offset);
      plan.file_missing.push_back(roles_[i] == record_role::missing);
    }
  }

 private:
  static bool has_span_of_its_own(const planned_entry& entry) {
    // A span that begins inside the header is kept with the bytes around it.
    return !entry.refused() && entry.start >= HEADER_SIZE;
  }

  bool has_file(std::size_t i) const { return file_at_.count(records_[i].key) != 0; }

  // Without an original every record names its file: refused names and missing files stop the
  // run, unless --sync leaves the missing out.
  maybe_problem judge_without_original(const index_image& index) {
    roles_.assign(records_.size(), record_role::stays);
    for (std::size_t i = 0; i < records_.size(); ++i) {
      const record_view& r = records_[i];
      if (r.excluded) {
        roles_[i] = record_role::leaves;
        continue;
      }
      const std::string& name = index.records()[i].name;
      if (!r.safe) {
        const char* unsafe = r.text ? unsafe_name_reason(r.text->c_str()) : "not valid in the system's ANSI code page";
        return problem{problem_kind::source, shown_path(root_path_, path_of_entry(TABLE_NAME)),
                       "record " + std::to_string(i + 1) + " (" + name + "): " + unsafe +
                           ": only --like with its archive keeps its stored bytes"};
      }
      if (r.path.folder || r.path.parts.empty()) continue;
      if (has_file(i)) {
        roles_[i] = record_role::owner;
      } else if (sync_) {
        roles_[i] = record_role::leaves;
      } else {
        return problem{problem_kind::source, shown_path(root_path_, r.path),
                       "no such file, though record " + std::to_string(i + 1) + " of " + TABLE_NAME + " names it: -x " +
                           exclude_argument(name) +
                           " leaves the record out, --sync every record whose file is missing"};
      }
    }
    count_kept();
    return std::nullopt;
  }

  // With an original, the file at a name goes to the last record of that name that extraction
  // writes, or else to the last that it refuses (for its bytes: a refused name has no file; and
  // table.bin, unless an entry extraction writes takes its place, is the index dump).
  void judge_with_original(const original_layout& original) {
    roles_.assign(records_.size(), record_role::stays);
    std::unordered_map<std::string, std::size_t> last_written;
    std::unordered_map<std::string, std::size_t> last_refused;
    for (std::size_t i = 0; i < records_.size(); ++i) {
      if (records_[i].excluded || !records_[i].names_a_file()) continue;
      if (!original.entries[i].refused()) {
        last_written[records_[i].key] = i;
      } else if (records_[i].key != table_key()) {
        last_refused[records_[i].key] = i;
      }
    }
    for (std::size_t i = 0; i < records_.size(); ++i) {
      const record_view& r = records_[i];
      if (r.excluded) {
        roles_[i] = record_role::leaves;
      } else if (!r.names_a_file()) {
        continue;
      } else if (!original.entries[i].refused()) {
        if (!has_file(i)) {
          roles_[i] = sync_ ? record_role::leaves : record_role::missing;
        } else {
          roles_[i] = last_written.at(r.key) == i ? record_role::owner : record_role::superseded;
        }
      } else if (has_file(i) && last_written.count(r.key) == 0 && last_refused.count(r.key) != 0 &&
                 last_refused.at(r.key) == i) {
        roles_[i] = record_role::owner;
      }
    }
    count_kept();
  }

  void count_kept() {
    std::size_t kept = 0;
    kept_before_.clear();
    for (const record_role role : roles_) {
      kept_before_.push_back(kept);
      kept += role == record_role::leaves ? 0 : 1;
    }
  }

  // By record: where the next span of its own after it starts (the index when none does).
  static std::vector<std::uint64_t> next_span_starts(const original_layout& original) {
    std::vector<std::uint64_t> next(original.entries.size());
    std::uint64_t start = original.index_offset;
    for (std::size_t i = original.entries.size(); i-- > 0;) {
      next[i] = start;
      if (has_span_of_its_own(original.entries[i])) start = original.entries[i].start;
    }
    return next;
  }

  // The file of a record without a span of its own, at `cursor`: for an entry extraction
  // writes, compared first; for a refused one packed, in place of its bytes where they lie
  // between the spans around it.
  void plan_new_stream(const planned_entry& entry, std::size_t i, std::uint64_t next_span, std::uint64_t& cursor,
                       pack_plan& plan) const {
    pack_piece piece = piece_of(piece_kind::revise, entry.start, entry.end);
    piece.room = entry.size;
    if (entry.refused()) {
      piece = piece_of(piece_kind::pack);
      if (entry.span_known() && entry.start >= cursor && entry.end <= next_span && entry.end > entry.start) {
        if (entry.start > cursor) plan.pieces.push_back(piece_of(piece_kind::copy, cursor, entry.start));
        piece.start = entry.start;
        piece.end = entry.end;
        cursor = entry.end;
      }
    }
    piece.record = kept_before_.at(i);
    piece.file = file_at_.at(records_[i].key);
    plan.pieces.push_back(piece);
  }

  pack_piece span_piece(const planned_entry& entry, std::size_t i) const {
    pack_piece piece = piece_of(piece_kind::check, entry.start, entry.end);
    piece.room = entry.size;
    if (roles_[i] == record_role::leaves) {
      piece.kind = piece_kind::drop;
      return piece;
    }
    piece.record = kept_before_.at(i);
    if (roles_[i] == record_role::owner) {
      piece.kind = piece_kind::compare;
      piece.file = file_at_.at(records_[i].key);
    }
    return piece;
  }

  std::vector<record_view> records_;
  const std::vector<source_file>& files_;
  bool sync_;
  const std::string& root_path_;
  std::unordered_map<std::string, std::size_t> file_at_;  // file key -> index in files_
  std::vector<record_role> roles_;                        // by record
  std::vector<std::size_t> kept_before_;                  // by record: its index once those that leave are out
};

}  // namespace

maybe_problem plan_pack(index_image index, const original_layout* original, const std::vector<source_file>& files,
                        const pack_choices& choices, const std::string& root_path, pack_plan& plan) {
  plan = pack_plan();
  plan.index = std::move(index);
  pack_planner planner(plan.index, files, choices, root_path);
  if (original != nullptr) {
    planner.plan_with_original(*original, plan);
  } else if (auto failure = planner.plan_without_original(plan)) {
    return failure;
  }
  planner.remove_leaving(plan);
  planner.add_unnamed_files(plan);
  return std::nullopt;
}

maybe_problem check_pack_limits(const pack_plan& plan, const std::vector<source_file>& files,
                                const std::string& root_path, const std::string& archive_path) {
  const std::size_t count = plan.index.records().size();
  if (count > MAX_ENTRIES) {
    return problem{
        problem_kind::output, archive_path,
        std::to_string(count) + " entries, more than the " + std::to_string(MAX_ENTRIES) + " an archive's index holds"};
  }
  if (plan.index.bytes().size() > INDEX_BUFFER_SIZE) {
    return problem{problem_kind::output, archive_path,
                   "index of " + std::to_string(plan.index.bytes().size()) + " bytes exceeds the " +
                       std::to_string(INDEX_BUFFER_SIZE) + "-byte index buffer"};
  }
  for (const pack_piece& piece : plan.pieces) {
    if (!piece.file || files[*piece.file].size <= ENTRY_BUFFER_SIZE) continue;
    const source_file& file = files[*piece.file];
    return problem{
        problem_kind::source, shown_path(root_path, file.path),
        std::to_string(file.size) + " bytes exceeds the " + std::to_string(ENTRY_BUFFER_SIZE) + "-byte entry buffer"};
  }
  return std::nullopt;
}

}  // namespace darvex
