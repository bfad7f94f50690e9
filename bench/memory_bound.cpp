#include "memory_bound.hpp"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "format/archive.hpp"
#include "select/entry_plan.hpp"

namespace darvex::bench {
namespace {

constexpr double MIB = 1024.0 * 1024.0;
constexpr double REST_MIB = 16;  // the index, the plan, the program

std::runtime_error cannot_read(const problem& failure) {
  return std::runtime_error("cannot read " + failure.path + " for its memory bound: " + failure.reason);
}

archive_needs needs_of_one(const std::string& path) {
  archive_file archive;
  inflater inflate;
  loaded_index index;
  if (auto failure = archive.open(path)) throw cannot_read(*failure);
  if (auto failure = load_index(archive, inflate, index)) throw cannot_read(*failure);
  if (auto failure = check_index(archive, index)) throw cannot_read(*failure);
  const std::unique_ptr<entry_table> table(new entry_table);
  std::uint32_t count = 0;
  if (auto failure = read_entry_table(archive, index, *table, count)) throw cannot_read(*failure);
  const entry_plan plan = plan_entries(*table, count, index.index_offset);
  return {plan.largest_span, plan.largest_size};
}

}  // namespace

archive_needs needs_of(const std::vector<std::string>& paths) {
  archive_needs most;
  for (const std::string& path : paths) {
    const archive_needs one = needs_of_one(path);
    most.largest_span = std::max(most.largest_span, one.largest_span);
    most.largest_size = std::max(most.largest_size, one.largest_size);
  }
  return most;
}

double memory_bound_mib(const archive_needs& needs, unsigned jobs) {
  return jobs * static_cast<double>(needs.largest_span + needs.largest_size) / MIB + REST_MIB;
}

std::string describe_bound(const archive_needs& needs, unsigned jobs) {
  char text[160];
  std::snprintf(text, sizeof text, "%u x (%.2f + %.2f MiB) + %.0f MiB = %.1f MiB", jobs,
                static_cast<double>(needs.largest_span) / MIB, static_cast<double>(needs.largest_size) / MIB, REST_MIB,
                memory_bound_mib(needs, jobs));
  return text;
}

}  // namespace darvex::bench
