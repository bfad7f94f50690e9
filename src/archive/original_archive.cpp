#include "archive/original_archive.hpp"

#include <memory>

namespace darvex {

maybe_problem read_original(const std::string& path, original_archive& original) {
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
  original.layout = {index.index_offset, plan_entries(*table, count, index.index_offset).entries};
  return std::nullopt;
}

}  // namespace darvex
