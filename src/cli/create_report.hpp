#pragma once

// What -c says of its records: a line for each, "<folder>\<name>  (kept)", in the manner of
// extraction's lines, or with --json an object for each; then a closing line that counts every
// fate and names the files added when they are few. An entry kept as stored that does not
// inflate cleanly is reported on standard error and makes the status 1.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/options.hpp"
#include "create/write_archive.hpp"

namespace darvex {

// The words of a fate in a line ("kept: no file") and in JSON ("missing").
const char* fate_words(entry_fate fate);
const char* fate_status(entry_fate fate);

// How many files added the closing line names; more are only counted.
inline constexpr std::size_t ADDED_NAMED_AT_MOST = 10;

class create_report : public pack_listener {
 public:
  explicit create_report(console& screen) : screen_(screen) {}
  virtual ~create_report() = default;

  void entry_packed(const packed_entry& entry) final;
  // The closing line, once the archive is in place.
  virtual void close(const std::string& archive_path) = 0;
  exit_status status() const {
    return counted(entry_fate::kept_damaged) > 0 ? exit_status::incomplete : exit_status::ok;
  }

 protected:
  virtual void show(const packed_entry& entry) = 0;
  std::size_t counted(entry_fate fate) const { return counts_[static_cast<std::size_t>(fate)]; }
  // The records of the new archive: every fate but dropped.
  std::size_t entries() const;
  const std::vector<std::string>& added_names() const { return added_names_; }
  console& screen() const { return screen_; }

 private:
  static constexpr std::size_t FATES = static_cast<std::size_t>(entry_fate::dropped) + 1;
  console& screen_;
  std::size_t counts_[FATES] = {};
  std::vector<std::string> added_names_;  // the first ADDED_NAMED_AT_MOST + 1
};

// The report --json asks for, or the lines.
std::unique_ptr<create_report> create_report_for(const options& chosen, console& screen);

}  // namespace darvex
