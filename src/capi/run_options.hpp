#pragma once

// What the options structs of darvex_extract and darvex_create share: jobs, patterns, the code
// page, and the progress callback that can stop a run.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "darvex/darvex.h"
#include "platform/process.hpp"
#include "select/name_encoding.hpp"

namespace darvex::capi {

inline constexpr unsigned MAX_JOBS = 64;

// The patterns of a NULL-terminated list (none for NULL).
std::vector<std::string> pattern_list(const char* const* patterns);

// The workers `jobs` asks for (0: the default), or a failure for more than MAX_JOBS.
std::optional<unsigned> jobs_of(unsigned jobs, const char* call);

// How names are read for `codepage`: the system's reading for NULL; nothing, with the last
// error set, for a code page the library does not know or this system cannot convert.
std::optional<name_encoding> names_of(const char* codepage);

// The progress callback of a run, told after each entry, and the stop it may ask for.
class progress_relay {
 public:
  progress_relay(darvex_progress_callback callback, void* context) : callback_(callback), context_(context) {}

  void set_total(std::uint32_t total) { total_ = total; }
  // One more entry is done.
  void entry_done(const std::string& name);
  bool stop_asked() const { return stop_.load(); }
  // For the core's runs, asked from any of their threads.
  platform::stop_check stop_check() const {
    return [this] { return stop_.load(); };
  }

 private:
  darvex_progress_callback callback_;
  void* context_;
  std::uint32_t done_ = 0;
  std::uint32_t total_ = 0;
  std::atomic<bool> stop_{false};
};

}  // namespace darvex::capi
