#include "capi/run_options.hpp"

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

// Stored names are read as the system reads them (bytes on POSIX, the ANSI code page on
// Windows). The core takes no name codec for extraction and creation yet: this is where the
// code page named would become a platform::name_codec handed to them.
darvex_status check_code_page(const char* codepage) {
  if (codepage == nullptr) return DARVEX_OK;
  if (!platform::code_page_named(codepage)) {
    return fail(DARVEX_ERROR_ARGUMENT, std::string("unknown code page \"") + codepage + "\"");
  }
  return fail(DARVEX_ERROR_ARGUMENT, std::string("code page \"") + codepage +
                                         "\": this build reads names only as the system does (codepage NULL)");
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
