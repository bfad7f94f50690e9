#pragma once

// How a run ends for the user: the exit status and the one-line messages on stderr.

#include "archive/archive.hpp"

namespace darvex {

enum class exit_status : int {
  extracted = 0,   // every entry extracted exactly, or the usage text shown
  incomplete = 1,  // the run finished, but some entries could not be extracted exactly
  stopped = 2,     // the run stopped before the entry stage: nothing was extracted
};

// Prints "DarvEx: <subject>: <reason>" on stderr, control bytes shown as \xNN.
void report(const problem& failure);

}  // namespace darvex
