#include "select/load_archive.hpp"

#include <memory>

#include "format/file_kind.hpp"

namespace darvex {
namespace {

// `failure` of the index to load, in plain words where the start of the file tells more.
problem plainly(const archive_file& archive, const problem& failure) {
  return plain_load_failure(archive, failure).value_or(failure);
}

}  // namespace

maybe_problem load_entry_table(const std::string& archive_path, loaded_archive& loaded, entry_table& table,
                               std::uint32_t& entry_count, load_steps* steps) {
  inflater inflate;
  if (auto failure = loaded.archive.open(archive_path)) return failure;
  if (steps != nullptr) {
    if (auto failure = steps->before_index(loaded.archive)) return failure;
  }
  if (auto failure = load_index(loaded.archive, inflate, loaded.index)) return plainly(loaded.archive, *failure);
  if (auto failure = check_index(loaded.archive, loaded.index)) return plainly(loaded.archive, *failure);
  if (auto failure = read_entry_table(loaded.archive, loaded.index, table, entry_count)) {
    return plainly(loaded.archive, *failure);
  }
  // Only an index that holds together makes an output directory: a run that stops leaves none.
  if (steps != nullptr) return steps->index_loaded(loaded.index);
  return std::nullopt;
}

maybe_problem load_archive(const std::string& archive_path, const entry_selection& selection, loaded_archive& loaded,
                           load_steps* steps) {
  const std::unique_ptr<entry_table> table(new entry_table);  // uninitialised: read_entry_table fills what is read
  std::uint32_t entry_count = 0;
  if (auto failure = load_entry_table(archive_path, loaded, *table, entry_count, steps)) return failure;
  loaded.plan = plan_entries(*table, entry_count, loaded.index.index_offset, selection);
  return std::nullopt;
}

}  // namespace darvex
