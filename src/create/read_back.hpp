#pragma once

// A written archive read back with the reader before it is put in place: opened, its index
// loaded, inflated and parsed, its entries planned and run through extraction's engine, and
// each record held against what the writer wrote for it (write_archive.hpp's entry_check):
// the inflated index byte for byte, each new stream (where it was written, bytes kept after it
// in its span aside) inflated completely to its file's length and CRC, each kept span to the
// original's bytes' length and CRC.

#include <string>

#include "create/write_archive.hpp"
#include "extract/extract_entries.hpp"

namespace darvex {

// Checks the archive open as `file` (`path` in messages) against `written`, with `jobs`
// workers. A difference is a problem of the archive's; a run cut short by `stopped` ends with
// none.
[[nodiscard]] maybe_problem read_back(platform::file_handle file, const std::string& path,
                                      const written_archive& written, unsigned jobs, platform::stop_check stopped);

}  // namespace darvex
