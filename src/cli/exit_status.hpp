#pragma once

#include <algorithm>

namespace darvex {

// How a run ends, chosen here only. Several archives end with the highest of their statuses.
enum class exit_status : int {
  ok = 0,          // every selected entry extracted, listed or tested exactly; or help shown
  incomplete = 1,  // the run finished, but something was refused, damaged, unwritten or unmatched
  stopped = 2,     // the run stopped before its entries, or the command line is wrong
};

inline exit_status worst(exit_status a, exit_status b) { return std::max(a, b); }

}  // namespace darvex
