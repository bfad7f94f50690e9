#pragma once

// Real file contents for the benchmark: a fixed selection of the files installed on this
// machine (programs, libraries, text, already-compressed data), packed both as archives for
// the tool and as one zip for the zip extractors, with the same names and bytes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "extract_floor.hpp"

namespace darvex::bench {

// Where the files are taken from, in this order.
inline const std::vector<std::string> REAL_ROOTS = {"/usr/bin", "/usr/lib", "/usr/share"};

struct real_file {
  std::filesystem::path path;
  std::uintmax_t size;
};

struct real_selection {
  std::vector<real_file> files;
  std::size_t candidates = 0;  // regular files small enough to be entries
  std::uintmax_t candidate_bytes = 0;
  double stride = 1;  // the candidates at 0, stride, 2 * stride, ... (rounded down) were taken
};

// Every regular file (symbolic links aside) of at most 12 MiB under `roots`, sorted by path,
// then one in every `stride` of them from the first, the stride chosen so that they add up to
// as much as they can within `target_bytes`. The same files give the same selection.
real_selection select_real_files(const std::vector<std::string>& roots, std::uint64_t target_bytes);

struct real_set {
  std::vector<std::string> archives;  // "R1.dat", "R2.dat", ...: the tool writes R1/, R2/, ...
  std::string zip = "R.zip";          // every file, in selection order
  std::size_t files = 0;              // files packed (those that could not be read are left out)
  std::size_t unreadable = 0;
  std::uint64_t bytes = 0;  // their inflated bytes
  std::uint64_t archive_bytes = 0;
  std::uint64_t zip_bytes = 0;
  std::vector<floor_archive> floor;  // the streams, kept for the single-thread floor
};

// Reads the selected files and writes them to `dir` as archives of at most 3,500 entries
// (balanced) and as one zip. Entries are named "00042-libz.so.1.2.13": the file's number in
// the selection and its own name, characters other than letters, digits and "._+-" made
// "_", so that names are unique and flat, and safe on every platform.
real_set pack_real_files(const real_selection& selection, const std::string& dir);

}  // namespace darvex::bench
