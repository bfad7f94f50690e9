#pragma once

// How the library's calls end: a status, and for a failure the calling thread's last error in
// words. Every entry point runs its work through `guarded`, so that no C++ exception leaves
// the library.

#include <exception>
#include <new>
#include <string>

#include "darvex/darvex.h"
#include "format/problem.hpp"

namespace darvex::capi {

// Sets the calling thread's last error and returns `status`.
darvex_status fail(darvex_status status, const std::string& message);

// The status a problem stands for.
darvex_status status_of(const problem& failure);

// The problem in words: "<path>: <reason>: <the system's text>", as the tool says it.
std::string words_of(const problem& failure);

// Fails with the problem's status and words.
darvex_status fail(const problem& failure);

// Clears the calling thread's last error: a call begins.
void begin_call();

// Runs `work` (which returns a darvex_status) as one call: the last error cleared first, and any
// exception turned into a status (std::bad_alloc into DARVEX_ERROR_MEMORY).
template <typename call>
darvex_status guarded(call&& work) noexcept {
  try {
    begin_call();
    return work();
  } catch (const std::bad_alloc&) {
    return fail(DARVEX_ERROR_MEMORY, "out of memory");
  } catch (const std::exception& failure) {
    return fail(DARVEX_ERROR_IO, std::string("unexpected failure: ") + failure.what());
  } catch (...) {
    return fail(DARVEX_ERROR_IO, "unexpected failure");
  }
}

}  // namespace darvex::capi
