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
    views.push_back(std::move(view));
  }
  return views;
}

class pack_planner {
 public:
  pack_planner(const index_image& index, const std::vector<source_file>& files,
               const std::vector<std::string>& excludes, const std::string& root_path)
      : records_(view_records(index, excludes)), files_(files), root_path_(root_path) {
    for (std::size_t i = 0; i < files.size(); ++i) file_at_[files[i].key] = i;
    std::size_t kept = 0;
    for (const record_view& r : records_) {
      kept_before_.push_back(kept);
      kept += r.excluded ? 0 : 1;
    }
  }

  // Every record's piece from its file; refused names and missing files are problems.
  maybe_problem plan_without_original(pack_plan& plan) {
    for (std::size_t i = 0; i < records_.size(); ++i) {
      const record_view& r = records_[i];
      if (r.excluded) continue;
      const std::string& name = plan.index.records()[i].name;
      const char* unsafe = r.text ? unsafe_name_reason(r.text->c_str()) : "not valid in the system's ANSI code page";
      if (unsafe != nullptr) {
        return problem{problem_kind::source, shown_path(root_path_, path_of_entry(TABLE_NAME)),
                       "record " + std::to_string(i + 1) + " (" + name + "): " + unsafe +
                           ": only --like with its archive keeps its stored bytes"};
      }
      pack_piece piece = piece_of(r.path.folder || r.path.parts.empty() ? piece_kind::empty : piece_kind::pack);
      piece.record = kept_before_.at(i);
      if (piece.kind == piece_kind::pack) {
        const auto found = file_at_.find(r.key);
        if (found == file_at_.end())
          return problem{problem_kind::source, shown_path(root_path_, r.path), "cannot open", ENOENT};
        piece.file = found->second;
      }
      plan.pieces.push_back(piece);
    }
    return std::nullopt;
  }

  // The original's bytes in file order: each span a piece, the bytes between them copied.
  void plan_with_original(const original_layout& original, pack_plan& plan) {
    const std::vector<bool> superseded = superseded_entries(original);
    std::uint64_t cursor = HEADER_SIZE;
    for (std::size_t i = 0; i < original.entries.size(); ++i) {
      const planned_entry& entry = original.entries[i];
      // A span that begins inside the header is kept with the bytes around it.
      if (entry.refused() || entry.start < HEADER_SIZE) {
        if (!records_[i].excluded) plan.unstreamed.push_back(kept_before_.at(i));
        continue;
      }
      if (entry.start > cursor) plan.pieces.push_back(piece_of(piece_kind::copy, cursor, entry.start));
      plan.pieces.push_back(span_piece(entry, i, superseded[i]));
      cursor = entry.end;
    }
    if (cursor < original.index_offset) {
      plan.pieces.push_back(piece_of(piece_kind::copy, cursor, original.index_offset));
    }
    plan.original_index_offset = original.index_offset;
  }

  // New records for the files no record names, in the files' order; table.bin is never one.
  void add_unnamed_files(pack_plan& plan) {
    std::unordered_set<std::string> named;
    for (const record_view& r : records_) named.insert(r.key);
    named.insert(file_key(path_of_entry(TABLE_NAME)));
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (named.count(files_[i].key) != 0) continue;
      pack_piece piece = piece_of(piece_kind::pack);
      piece.record = plan.index.records().size();
      piece.file = i;
      piece.added = true;
      plan.index.add(files_[i].stored_name, 0, 0);
      plan.original_offsets.emplace_back();
      plan.pieces.push_back(piece);
    }
  }

  // Takes the excluded records out of the index.
  void remove_excluded(pack_plan& plan) {
    for (std::size_t i = records_.size(); i-- > 0;) {
      if (records_[i].excluded) plan.index.remove(i);
    }
    for (std::size_t i = 0; i < records_.size(); ++i) {
      if (!records_[i].excluded) plan.original_offsets.emplace_back(plan.index.records()[kept_before_.at(i)].offset);
    }
  }

 private:
  // The entries whose file a later entry writes again: the file holds the later one's bytes.
  std::vector<bool> superseded_entries(const original_layout& original) const {
    std::vector<bool> superseded(original.entries.size());
    std::unordered_map<std::string, std::size_t> last;
    for (std::size_t i = 0; i < original.entries.size(); ++i) {
      if (original.entries[i].refused()) continue;
      const auto [at, fresh] = last.try_emplace(records_[i].key, i);
      if (!fresh) superseded[std::exchange(at->second, i)] = true;
    }
    return superseded;
  }

  pack_piece span_piece(const planned_entry& entry, std::size_t i, bool superseded) const {
    const record_view& r = records_[i];
    pack_piece piece = piece_of(piece_kind::copy, entry.start, entry.end);
    piece.room = entry.size;
    if (r.excluded) {
      piece.kind = piece_kind::drop;
      return piece;
    }
    piece.record = kept_before_.at(i);
    const auto found = file_at_.find(r.key);
    if (superseded || r.path.folder || r.path.parts.empty() || found == file_at_.end()) return piece;
    piece.kind = piece_kind::compare;
    piece.file = found->second;
    return piece;
  }

  std::vector<record_view> records_;
  const std::vector<source_file>& files_;
  const std::string& root_path_;
  std::unordered_map<std::string, std::size_t> file_at_;  // file key -> index in files_
  std::vector<std::size_t> kept_before_;                  // by record: its index once the excluded are out
};

}  // namespace

maybe_problem plan_pack(index_image index, const original_layout* original, const std::vector<source_file>& files,
                        const std::vector<std::string>& excludes, const std::string& root_path, pack_plan& plan) {
  plan = pack_plan();
  plan.index = std::move(index);
  pack_planner planner(plan.index, files, excludes, root_path);
  if (original != nullptr) {
    planner.plan_with_original(*original, plan);
  } else if (auto failure = planner.plan_without_original(plan)) {
    return failure;
  }
  planner.remove_excluded(plan);
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
