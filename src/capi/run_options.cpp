#include "capi/run_options.hpp"

#include <stdexcept>

#include "capi/failure.hpp"
#include "extract/extract_entries.hpp"
#include "format/deflate.hpp"
#include "platform/code_page.hpp"

namespace darvex::capi {

std::vector<std::string> pattern_list(const char* const* patterns) {
  std::vector<std::string> list;
  for (; patterns != nullptr && *patterns != nullptr; ++patterns) list.emplace_back(*patterns);
  return list;
}

std::optional<unsigned> jobs_of(unsigned jobs, const char* call) {
  if (jobs > MAX_JOBS) {
    fail(DARVEX_ERROR_ARGUMENT, std::string(call) + ": jobs must be 1 to " + std::to_string(MAX_JOBS) + " (0: " +
                                    std::to_string(default_jobs()) + ", the default), not " + std::to_string(jobs));
    return std::nullopt;
  }
  return jobs != 0 ? jobs : default_jobs();
}

std::optional<name_encoding> names_of(const char* codepage) {
  if (codepage == nullptr) return name_encoding();
  const std::optional<unsigned> code_page = platform::code_page_named(codepage);
  if (!code_page) {
    fail(DARVEX_ERROR_ARGUMENT, std::string("unknown code page \"") + codepage + "\"");
    return std::nullopt;
  }
  try {
    return name_encoding(*code_page);
  } catch (const std::runtime_error& failure) {
    fail(DARVEX_ERROR_ARGUMENT, std::string("code page \"") + codepage + "\": " + failure.what());
    return std::nullopt;
  }
}

void progress_relay::entry_done(const std::string& name) {
  ++done_;
  if (callback_ != nullptr && callback_(context_, done_, total_, name.c_str()) != 0) stop_ = true;
}

}  // namespace darvex::capi

extern "C" {

void darvex_extract_options_init(darvex_extract_options* options) {
  if (options != nullptr) *options = darvex_extract_options{};
}

void darvex_create_options_init(darvex_create_options* options) {
  if (options == nullptr) return;
  *options = darvex_create_options{};
  options->level = darvex::DEFAULT_COMPRESSION_LEVEL;
}

}  // extern "C"
