#pragma once

#include <algorithm>

#include "format/problem.hpp"

namespace darvex {

// How a run ends. Several archives end with the highest of their statuses.
enum class exit_status : int {
  ok = 0,          // every selected entry extracted, listed or tested exactly; or help shown
  incomplete = 1,  // the run finished, but something was refused, damaged, unwritten or unmatched
  stopped = 2,     // the run stopped before its entries, or the command line is wrong
};

// A run ended by an interrupt exits with this plus the signal's number, as the shell reports a
// process the signal ended (130 for Ctrl-C).
inline constexpr int INTERRUPTED_STATUS_BASE = 128;

inline exit_status worst(exit_status a, exit_status b) { return std::max(a, b); }

// What only the front end meets, no step of the core: their problems are problem_kinds.
enum class front_end_problem {
  usage,              // the command line is wrong
  unmatched_pattern,  // an -i pattern matches no entry
  standard_output,    // standard output could not be written
};

// The status a problem of `kind` leaves a run with: with the overload below, the one place that
// decides it.
constexpr exit_status status_for(problem_kind kind) {
  switch (kind) {
    case problem_kind::archive:
    case problem_kind::index:
    case problem_kind::output:
    case problem_kind::source:
      return exit_status::stopped;
    case problem_kind::refused_entry:
    case problem_kind::damaged_entry:
    case problem_kind::unwritten_entry:
      return exit_status::incomplete;
  }
  return exit_status::stopped;  // not reached: every kind has its case
}

constexpr exit_status status_for(front_end_problem kind) {
  switch (kind) {
    case front_end_problem::usage:
      return exit_status::stopped;
    case front_end_problem::unmatched_pattern:
    case front_end_problem::standard_output:
      return exit_status::incomplete;
  }
  return exit_status::stopped;  // not reached: every kind has its case
}

}  // namespace darvex
