#include "create/original_archive.hpp"

#include <cerrno>
#include <memory>

namespace darvex {

maybe_problem read_original(const std::string& path, original_archive& original, const name_encoding& names) {
  inflater inflate;
  loaded_index index;
  if (auto failure = original.file.open(path)) return failure;
  if (auto failure = load_index(original.file, inflate, index)) return failure;
  if (auto failure = check_index(original.file, index)) return failure;
  const std::unique_ptr<entry_table> table(new entry_table);
  std::uint32_t count = 0;
  if (auto failure = read_entry_table(original.file, index, *table, count)) return failure;
  if (index.index_offset < HEADER_SIZE) {
    return original.file.trouble(problem_kind::index, "index offset " + std::to_string(index.index_offset) +
                                                          " lies inside the 12-byte header: it cannot be kept");
  }
  original.index.assign(reinterpret_cast<const char*>(index.bytes.get()), index.inflated.produced);
  original.layout = {index.index_offset, plan_entries(*table, count, index.index_offset, {.names = names}).entries};
  return std::nullopt;
}

maybe_problem read_table_dump(const platform::directory& folder, const std::string& folder_path,
                              std::optional<index_image>& table) {
  const std::string path = shown_path(folder_path, path_of_entry(TABLE_NAME));
  platform::file_handle file;
  platform::file_type type = platform::file_type::other;
  if (int err = folder.open_file(TABLE_NAME, file, type)) {
    if (err == ENOENT) return std::nullopt;
    return problem{problem_kind::source, path, "cannot open", err};
  }
  std::string dump(INDEX_BUFFER_SIZE + 1, '\0');
  std::size_t got = 0;
  if (type == platform::file_type::regular) {
    if (int err = platform::read_at(file, 0, dump.data(), dump.size(), got)) {
      return problem{problem_kind::source, path, "cannot read", err};
    }
  }
  dump.resize(got);
  if (got == INDEX_BUFFER_SIZE) table = index_image::from_dump(dump);
  if (!table) {
    return problem{problem_kind::source, path,
                   "not an index as extraction leaves it (" + std::to_string(INDEX_BUFFER_SIZE) +
                       " bytes listing at most " + std::to_string(MAX_ENTRIES) + " entries)"};
  }
  return std::nullopt;
}

}  // namespace darvex
