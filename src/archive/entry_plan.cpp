#include "archive/entry_plan.hpp"

#include <algorithm>
#include <unordered_map>

#include "archive/entry_name.hpp"
#include "archive/name_glob.hpp"

namespace darvex {
namespace {

std::string bytes(std::uint64_t count) { return std::to_string(count) + " bytes"; }

// Why the entry's name must not be created, or an empty string.
std::string name_refusal(const std::optional<std::string>& text) {
  if (!text) return "name is not valid in the system's ANSI code page";
  if (const char* unsafe = unsafe_name_reason(text->c_str())) return std::string("unsafe name: ") + unsafe;
  return {};
}

// Why the entry's span or size is refused, or an empty string. `read_up_to` is where the last
// span that will be read ends: a span starting before it would inflate the same data again.
std::string span_refusal(const planned_entry& entry, std::uint32_t index_offset, std::uint64_t read_up_to) {
  if (entry.start > index_offset) {
    return "offset " + std::to_string(entry.start) + " lies past the index at " + std::to_string(index_offset);
  }
  if (!entry.span_known()) {
    return "span ends at " + std::to_string(entry.end) + ", before its offset " + std::to_string(entry.start) +
           " (offsets out of order)";
  }
  if (entry.start < read_up_to) {
    return "span at " + std::to_string(entry.start) + " overlaps the previous entry's data (up to " +
           std::to_string(read_up_to) + ")";
  }
  const std::string limit = " exceeds the " + std::to_string(ENTRY_BUFFER_SIZE) + "-byte entry buffer";
  if (entry.span_length() > ENTRY_BUFFER_SIZE) return "span of " + bytes(entry.span_length()) + limit;
  if (entry.size > ENTRY_BUFFER_SIZE) return "size of " + bytes(entry.size) + limit;
  return {};
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

// The patterns with their letters in the case that names are compared in.
std::vector<std::string> case_folded(const std::vector<std::string>& patterns) {
  std::vector<std::string> folded;
  for (const std::string& pattern : patterns) folded.push_back(platform::case_folded(pattern));
  return folded;
}

}  // namespace

entry_plan plan_entries(const entry_table& table, std::uint32_t entry_count, std::uint32_t index_offset) {
  entry_plan plan;
  plan.entries.reserve(entry_count);
  std::unordered_map<std::string, std::size_t> last_writer;  // output file -> latest entry writing it
  const std::string table_file = same_file_key(TABLE_NAME);
  const std::vector<std::uint32_t> ends = span_ends(table, entry_count, index_offset);
  std::uint64_t read_up_to = 0;
  for (std::uint32_t i = 0; i < entry_count; ++i) {
    planned_entry entry{i + 1, table.names[i], table.offsets[i], ends[i], table.sizes[i], {}, {}, false, true, {}};
    const std::optional<std::string> text = platform::name_as_text(entry.name);
    entry.folded_name = platform::case_folded(text.value_or(entry.name));
    entry.refusal = name_refusal(text);
    if (entry.refusal.empty()) entry.refusal = span_refusal(entry, index_offset, read_up_to);
    if (!entry.refused()) {
      read_up_to = entry.end;
      const std::string key = same_file_key(entry.folded_name);
      if (const auto found = last_writer.find(key); found != last_writer.end()) entry.same_file_before = found->second;
      last_writer[key] = i;
      entry.names_table = key == table_file;
    }
    plan.entries.push_back(std::move(entry));
  }
  return plan;
}

std::vector<std::string> select_entries(entry_plan& plan, const std::vector<std::string>& includes,
                                        const std::vector<std::string>& excludes) {
  const std::vector<std::string> folded_includes = case_folded(includes);
  const std::vector<std::string> folded_excludes = case_folded(excludes);
  std::vector<bool> matched(includes.size(), false);
  for (planned_entry& entry : plan.entries) {
    const auto matches = [&](const std::string& pattern) { return glob_matches(pattern, entry.folded_name); };
    bool included = includes.empty();
    for (std::size_t i = 0; i < folded_includes.size(); ++i) {
      if (matches(folded_includes[i])) matched[i] = included = true;
    }
    entry.selected = included && std::none_of(folded_excludes.begin(), folded_excludes.end(), matches);
  }
  std::vector<std::string> unmatched;
  for (std::size_t i = 0; i < includes.size(); ++i) {
    if (!matched[i]) unmatched.push_back(includes[i]);
  }
  return unmatched;
}

}  // namespace darvex
