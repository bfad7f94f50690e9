#pragma once

// The mixed set: about 1.5 GiB (or as many MiB as asked) of the mix archive A holds (text-like,
// structured binary and incompressible contents, entries of a few bytes to 12 MiB, of 450 KiB
// on average, so that 1.5 GiB fits one archive), generated from a fixed seed, written as
// archives of at most 3,500 entries ("M1.dat", ...) and as one zip of the same names and
// deflate data ("M.zip").

#include <cstdint>
#include <string>
#include <vector>

#include "extract_floor.hpp"

namespace darvex::bench {

struct mixed_set {
  std::vector<std::string> archives;  // "M1.dat", ...: the tool writes M1/, ...
  std::string zip = "M.zip";
  std::size_t entries = 0;
  std::size_t smallest = 0, largest = 0;  // entries' sizes
  std::uint64_t bytes = 0;                // inflated
  std::uint64_t archive_bytes = 0;
  std::uint64_t zip_bytes = 0;
  std::vector<floor_archive> floor;  // the streams, kept for the single-thread floor
};

// Generates about `mib` MiB of entries, compressing them on every hardware thread, and writes
// the archives and the zip to `dir`.
mixed_set write_mixed_set(const std::string& dir, std::uint64_t mib);

}  // namespace darvex::bench
