#pragma once

// The output directory, held open: every file of an extraction is created inside it by name,
// never by a path that the process's working directory or a link could turn elsewhere.

#include <string>

#include "archive/archive.hpp"
#include "archive/extract_entries.hpp"
#include "platform/platform.hpp"

namespace darvex {

using existing_files = platform::directory::existing;

class directory_writer {
 public:
  // Creates the directory at `path` (command-line text), with its missing parents when
  // `with_parents`; an existing directory is reused. Then opens it.
  [[nodiscard]] maybe_problem open(const std::string& path, bool with_parents);

  // Writes `length` bytes as the file `name`, a stored entry name. An existing file of that
  // name is replaced, or with existing_files::keep left alone (the outcome says so).
  entry_outcome write_file(const std::string& name, const unsigned char* data, std::size_t length,
                           existing_files policy) const;

  // Writes table.bin: the INDEX_BUFFER_SIZE bytes of the inflated index.
  [[nodiscard]] maybe_problem write_table(const loaded_index& index, existing_files policy) const;

 private:
  platform::directory directory_;
};

// Extraction's sink: each entry becomes a file in the output directory.
class directory_sink final : public entry_sink {
 public:
  directory_sink(const directory_writer& directory, existing_files policy) : directory_(directory), policy_(policy) {}
  entry_outcome take(const planned_entry& entry, const unsigned char* data, std::size_t length) override {
    return directory_.write_file(entry.name, data, length, policy_);
  }

 private:
  const directory_writer& directory_;
  existing_files policy_;
};

}  // namespace darvex
