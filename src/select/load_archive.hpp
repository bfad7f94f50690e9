#pragma once

// The one way an archive is read before its entries: opened, its index loaded and checked (a
// failure in plain words where the start of the file tells more), its records read and the
// entries a selection takes planned. The tool's commands, --diff and the library all read
// archives so; a caller may add steps on the way.

#include <cstdint>
#include <string>

#include "format/archive.hpp"
#include "select/entry_plan.hpp"

namespace darvex {

// What is read of an archive before its entries.
struct loaded_archive {
  archive_file archive;
  loaded_index index;
  entry_plan plan;
};

// Steps a caller takes while an archive loads.
class load_steps {
 public:
  // Once the archive is open, before its index is read.
  virtual maybe_problem before_index(const archive_file&) { return std::nullopt; }
  // Once the index is loaded and checked and its records read.
  virtual maybe_problem index_loaded(const loaded_index&) { return std::nullopt; }

 protected:
  ~load_steps() = default;
};

// Opens the archive at `archive_path`, loads and checks its index and reads its records into
// `table` and `entry_count`; `steps`, when given, run on the way.
[[nodiscard]] maybe_problem load_entry_table(const std::string& archive_path, loaded_archive& loaded,
                                             entry_table& table, std::uint32_t& entry_count,
                                             load_steps* steps = nullptr);

// The same, then plans the entries `selection` takes into `loaded.plan`.
[[nodiscard]] maybe_problem load_archive(const std::string& archive_path, const entry_selection& selection,
                                         loaded_archive& loaded, load_steps* steps = nullptr);

}  // namespace darvex
