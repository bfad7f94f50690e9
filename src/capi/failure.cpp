#include "capi/failure.hpp"

#include <cerrno>

#include "platform/platform.hpp"

namespace darvex::capi {
namespace {

// The calling thread's last error; its text is what darvex_last_error returns.
thread_local std::string last_error;

}  // namespace

darvex_status fail(darvex_status status, const std::string& message) {
  try {
    last_error = message;
  } catch (...) {
    last_error.clear();  // no memory even for the words: the status says it
  }
  return status;
}

darvex_status status_of(const problem& failure) {
  if (failure.err == ENOMEM) return DARVEX_ERROR_MEMORY;
  switch (failure.kind) {
    case problem_kind::archive:
      return failure.err != 0 ? DARVEX_ERROR_IO : DARVEX_ERROR_FORMAT;
    case problem_kind::index:
      return DARVEX_ERROR_FORMAT;
    case problem_kind::refused_entry:
      return DARVEX_ERROR_REFUSED;
    case problem_kind::damaged_entry:
      return failure.err != 0 ? DARVEX_ERROR_IO : DARVEX_ERROR_DAMAGED;
    case problem_kind::output:
    case problem_kind::source:
    case problem_kind::unwritten_entry:
      break;
  }
  return DARVEX_ERROR_IO;
}

std::string words_of(const problem& failure) {
  std::string words = failure.path.empty() ? failure.reason : "\"" + failure.path + "\": " + failure.reason;
  if (failure.err != 0) words += ": " + platform::error_text(failure.err);
  return words;
}

darvex_status fail(const problem& failure) { return fail(status_of(failure), words_of(failure)); }

void begin_call() { last_error.clear(); }

}  // namespace darvex::capi

extern "C" const char* darvex_last_error(void) { return darvex::capi::last_error.c_str(); }
