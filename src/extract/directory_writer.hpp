#pragma once

// The output directory, held open: every file of an extraction is made inside it by name,
// never by a path that the process's working directory or a link could turn elsewhere. Folders
// for names with directory parts are made as needed, each entered by its handle and never
// through a link. No part of a file is ever left under an entry's name, whether the run fails,
// is interrupted or is killed:
//
// - an output directory that this run makes is filled under a temporary name beside it, where
//   nobody else writes, and renamed onto its own name once, when the entries are done (after an
//   interrupt too); a killed run leaves only that temporary folder, which the next run to make
//   an output directory there removes;
// - in a directory that exists already, each file is written under a temporary name in its
//   folder and renamed onto its own name when whole.

#include <optional>
#include <string>
#include <string_view>

#include "extract/extract_entries.hpp"
#include "format/archive.hpp"
#include "platform/file_place.hpp"
#include "platform/platform.hpp"

namespace darvex {

enum class existing_files {
  replace,  // an entry replaces what stands at its name
  keep,     // what stood at an entry's name before the run is left alone
};

class directory_writer {
 public:
  // Creates the directory at `path` (command-line text), with its missing parents when
  // `with_parents`; an existing directory is reused, and what killed runs left there removed.
  // Then opens it. No entry may replace the file `archive` is.
  [[nodiscard]] maybe_problem open(const std::string& path, bool with_parents, const archive_file& archive);

  // Once the entries are done, or the run stops: a directory filled under a temporary name is
  // given its own. Whatever the outcome, the directory is let go of, so that a run that stops
  // can remove it (Windows removes no folder that a handle holds).
  [[nodiscard]] maybe_problem finish();

  // Writes table.bin: the INDEX_BUFFER_SIZE bytes of the inflated index. With existing_files::keep
  // a table.bin already there is left alone.
  [[nodiscard]] maybe_problem write_table(const loaded_index& index, existing_files policy);

  const platform::directory& root() const { return staged_.is_open() ? staged_.folder() : root_; }
  // Whether the directory is new and filled under a temporary name: nobody else writes in it,
  // so its files need no temporary names of their own and no leftovers are looked for in it.
  bool is_private() const { return staged_.is_open(); }
  // Which file the archive being read is, when it lies on the output directory's device (only
  // then can an entry's name be it).
  const std::optional<platform::file_identity>& archive_identity() const { return archive_identity_; }
  // Whether a file named `part` may be the archive being read: only under the archive's own
  // file name when that is its one name, else always.
  bool may_be_archive(std::string_view part) const;
  // What became of the index dump: an entry of the same name is kept only where the dump was,
  // since with existing_files::keep only what stood there before the run is kept.
  enum class table_dump { not_written, written, kept };
  table_dump table() const { return table_; }

 private:
  // Makes the directory at `place` that does not exist yet, filled under a temporary name
  // beside it; false where the system cannot (Windows), with nothing made.
  maybe_problem stage(const platform::file_place& place, bool& staged);

  std::string path_;
  platform::directory root_;           // an existing directory, or the parent of a staged one
  platform::temporary_folder staged_;  // a new directory being filled
  std::string staged_name_;            // its own name, in root_
  std::optional<platform::file_identity> archive_identity_;
  std::optional<std::string> archive_name_;  // the last part of its one name, when it has one
  table_dump table_ = table_dump::not_written;
};

// Extraction's sink: each entry becomes a file (or, for a name that ends in a separator, a
// folder) in the output directory.
class directory_sink final : public entry_sink {
 public:
  // `jobs` writers at most will write at once, each holding folders open.
  directory_sink(const directory_writer& directory, existing_files policy, unsigned jobs)
      : directory_(directory), policy_(policy), jobs_(jobs) {}

  std::unique_ptr<entry_writer> writer() override;
  bool decides_in_turn() const override { return policy_ == existing_files::keep; }

 private:
  const directory_writer& directory_;
  existing_files policy_;
  unsigned jobs_;
};

}  // namespace darvex
