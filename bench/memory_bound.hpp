#pragma once

// The bound the tool's peak memory is held against: each job holds one buffer for the largest
// span and one for the largest size among the archive's entries, and the rest of the process
// (the index, the plan, the program) fits in 16 MiB.

#include <cstdint>
#include <string>
#include <vector>

namespace darvex::bench {

// The bound in words, as the report prints it.
inline constexpr const char* BOUND_RULE = "jobs x (largest span + largest size) + 16 MiB";

struct archive_needs {
  std::uint64_t largest_span = 0;
  std::uint64_t largest_size = 0;
};

// The largest span and the largest size among the entries of the archives at `paths`, as the
// tool plans them. Throws when one cannot be read.
archive_needs needs_of(const std::vector<std::string>& paths);

// jobs x (largest span + largest size) + 16 MiB, in MiB.
double memory_bound_mib(const archive_needs& needs, unsigned jobs);

// "2 x (12.0 + 12.0 MiB) + 16 MiB = 64.0 MiB"
std::string describe_bound(const archive_needs& needs, unsigned jobs);

}  // namespace darvex::bench
