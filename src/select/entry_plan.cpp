#include "select/entry_plan.hpp"

#include <algorithm>
#include <unordered_map>

#include "select/entry_name.hpp"
#include "select/name_glob.hpp"

namespace darvex {
namespace {

std::string bytes(std::uint64_t count) { return std::to_string(count) + " bytes"; }

problem refused(std::string reason) { return {problem_kind::refused_entry, {}, std::move(reason)}; }

// Why the entry's name must not be created.
std::optional<problem> name_refusal(const std::optional<std::string>& text) {
  if (!text) return refused("name is not valid in the system's ANSI code page");
  if (const char* unsafe = unsafe_name_reason(text->c_str())) return refused(std::string("unsafe name: ") + unsafe);
  return std::nullopt;
}

// Why the entry's span or size is refused. `read_up_to` is where the last span that will be
// read ends: a span starting before it would inflate the same data again.
std::optional<problem> span_refusal(const planned_entry& entry, std::uint32_t index_offset, std::uint64_t read_up_to) {
  if (entry.start > index_offset) {
    return refused("offset " + std::to_string(entry.start) + " lies past the index at " + std::to_string(index_offset));
  }
  if (!entry.span_known()) {
    return refused("span ends at " + std::to_string(entry.end) + ", before its offset " + std::to_string(entry.start) +
                   " (offsets out of order)");
  }
  if (entry.start < read_up_to) {
    return refused("span at " + std::to_string(entry.start) + " overlaps the previous entry's data (up to " +
                   std::to_string(read_up_to) + ")");
  }
  const std::string limit = " exceeds the " + std::to_string(ENTRY_BUFFER_SIZE) + "-byte entry buffer";
  if (entry.span_length() > ENTRY_BUFFER_SIZE) return refused("span of " + bytes(entry.span_length()) + limit);
  if (entry.size > ENTRY_BUFFER_SIZE) return refused("size of " + bytes(entry.size) + limit);
  return std::nullopt;
}

// Where each span ends: at the next offset that lies within the data, or at index_offset. An
// offset past the index is a damaged record, refused on its own; its neighbour's span runs on
// to the next good offset, so that neither a good entry is cut nor the one after it overlapped.
std::vector<std::uint32_t> span_ends(const entry_table& table, std::uint32_t entry_count, std::uint32_t index_offset) {
  std::vector<std::uint32_t> ends(entry_count);
  std::uint32_t next_start = index_offset;
  for (std::uint32_t i = entry_count; i-- > 0;) {
    ends[i] = next_start;
    if (table.offsets[i] <= index_offset) next_start = table.offsets[i];
  }
  return ends;
}

// Patterns with their letters in the case that names are compared in, and which of them matched.
class pattern_set {
 public:
  explicit pattern_set(const std::vector<std::string>& patterns)
      : given_(patterns), patterns_(patterns), matched_(patterns.size()) {}

  bool empty() const { return patterns_.empty(); }

  // Whether any pattern matches `folded_name`; every pattern that does is marked as matched.
  bool match_all(const std::string& folded_name) {
    bool any = false;
    for (std::size_t i = 0; i < patterns_.size(); ++i) {
      if (patterns_.takes(i, folded_name)) matched_[i] = any = true;
    }
    return any;
  }

  bool match_any(const std::string& folded_name) const { return patterns_.any_takes(folded_name); }

  std::vector<std::string> unmatched() const {
    std::vector<std::string> none;
    for (std::size_t i = 0; i < given_.size(); ++i) {
      if (!matched_[i]) none.push_back(given_[i]);
    }
    return none;
  }

 private:
  const std::vector<std::string>& given_;
  folded_patterns patterns_;
  std::vector<bool> matched_;
};
// Why an entry's path is refused: a folder entry has no data to hold, and a file needs a name.
std::optional<problem> path_refusal(const planned_entry& entry) {
  if (entry.path.folder && entry.size > 0)
    return refused("names a folder but records " + bytes(entry.size) + " of data");
  if (!entry.path.folder && entry.path.parts.empty()) return refused("names the output directory itself");
  return std::nullopt;
}

// Whether the path is the index dump's by this system's rules: on Windows in any case, beyond
// ASCII too (dots and spaces at the end are trimmed already); elsewhere byte for byte.
bool names_table(const entry_path& path) {
  if (path.folder || path.parts.size() != 1) return false;
  if (!platform::NAMES_IGNORE_CASE) return path.parts[0] == TABLE_NAME;
  return platform::case_folded(path.parts[0]) == platform::case_folded(TABLE_NAME);
}

// Entry `slot` of the table with its span and verdict. `text` receives its name as text.
planned_entry judged(const entry_table& table, std::uint32_t slot, std::uint32_t end, std::uint32_t index_offset,
                     std::uint64_t read_up_to, unsigned strip, std::optional<std::string>& text) {
  planned_entry entry;
  entry.position = slot + 1;
  entry.name = table.names[slot];
  entry.start = table.offsets[slot];
  entry.end = end;
  entry.size = table.sizes[slot];
  text = platform::name_as_text(entry.name.c_str());
  entry.path = path_of_entry(text.value_or(entry.name), strip);
  entry.names_table = names_table(entry.path);
  entry.refusal = name_refusal(text);
  if (!entry.refusal) entry.refusal = span_refusal(entry, index_offset, read_up_to);
  if (!entry.refusal) entry.refusal = path_refusal(entry);
  return entry;
}

// The entries each new entry must wait for: the latest to write each path, and the latest to
// write under each folder. Keys are same_file_key's, so that names which may be one file on
// some system are ordered alike everywhere.
class path_writers {
 public:
  // Records entry `at` of the plan, whose path has `key`, and sets what it waits for.
  void add(planned_entry& entry, std::size_t at) {
    const std::string path = joined(entry.path);
    const std::string key = same_file_key(platform::NAMES_IGNORE_CASE ? platform::case_folded(path) : path);
    std::optional<std::size_t> nearest = latest(under_, key);
    for (std::size_t end = key.find('/'); end != std::string::npos; end = key.find('/', end + 1)) {
      const std::string folder = key.substr(0, end);
      nearest = std::max(nearest, latest(at_, folder));
      under_[folder] = at;
    }
    entry.same_file_as = latest(at_, key);
    entry.waits_for = std::max(nearest, entry.same_file_as);
    at_[key] = at;
  }

 private:
  static std::optional<std::size_t> latest(const std::unordered_map<std::string, std::size_t>& map,
                                           const std::string& key) {
    const auto found = map.find(key);
    return found == map.end() ? std::nullopt : std::optional<std::size_t>(found->second);
  }

  std::unordered_map<std::string, std::size_t> at_;     // path -> the latest entry writing it
  std::unordered_map<std::string, std::size_t> under_;  // folder -> the latest entry writing under it
};

// Where names ignore case, one folder named in several cases is made as the first entry in
// index order spells it, whichever entry reaches it first: each entry's folder parts take that
// spelling. Elsewhere they are different folders, and every spelling stays.
class folder_spellings {
 public:
  void respell(entry_path& path) {
    if (!platform::NAMES_IGNORE_CASE || path.parts.empty()) return;
    const std::size_t folders = path.folder ? path.parts.size() : path.parts.size() - 1;
    std::string key;
    for (std::size_t d = 0; d < folders; ++d) {
      key += platform::case_folded(path.parts[d]);
      const auto [first, is_first] = first_.try_emplace(key, path.parts[d]);
      if (!is_first) path.parts[d] = first->second;
      key += '/';
    }
  }

 private:
  std::unordered_map<std::string, std::string> first_;  // folded parts -> the first spelling of the last
};

}  // namespace

entry_plan plan_entries(const entry_table& table, std::uint32_t entry_count, std::uint32_t index_offset,
                        const entry_selection& selection) {
  entry_plan plan;
  pattern_set includes(selection.includes);
  const pattern_set excludes(selection.excludes);
  path_writers writers;
  folder_spellings spellings;
  const std::vector<std::uint32_t> ends = span_ends(table, entry_count, index_offset);
  plan.entries.reserve(entry_count);
  std::uint64_t read_up_to = 0;
  for (std::uint32_t slot = 0; slot < entry_count; ++slot) {
    std::optional<std::string> text;
    planned_entry entry = judged(table, slot, ends[slot], index_offset, read_up_to, selection.strip_components, text);
    if (!entry.refused()) read_up_to = entry.end;
    if (!includes.empty() || !excludes.empty()) {
      if (!includes.empty()) plan.all_names.push_back(entry.name);
      // Patterns match the name as text, in the case names are compared in (the stored bytes
      // where they are not text in the system's code page).
      const std::string folded = platform::case_folded(text.value_or(entry.name));
      // Every include is tried, so that one is unmatched only when it matches no entry at all.
      const bool included = includes.match_all(folded) || includes.empty();
      if (!included || excludes.match_any(folded)) continue;
    }
    // A name whose parts were all stripped away names nothing: it is not part of the run.
    if (entry.path.parts.empty() && selection.strip_components > 0) continue;
    if (!entry.refused()) {
      spellings.respell(entry.path);
      writers.add(entry, plan.entries.size());
      plan.largest_span = std::max(plan.largest_span, entry.span_length());
      plan.largest_size = std::max(plan.largest_size, entry.size);
    }
    plan.entries.push_back(std::move(entry));
  }
  plan.unmatched = includes.unmatched();
  return plan;
}

}  // namespace darvex
