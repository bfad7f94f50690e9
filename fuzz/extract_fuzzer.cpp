// libFuzzer target: runs the whole tool on the fuzz input, stored as an archive file, exactly as
// a user's `DarvEx input.dat` would (see watched_site), and aborts when the run breaks one of
// its promises:
//
//   - the exit status is 0, 1 or 2;
//   - nothing is written outside the output directory: the sentinel file beside the archive
//     and the archive itself keep their bytes, and nothing else appears in the scratch tree,
//     although links to them stand in the output directory where the run writes;
//   - the output directory holds regular files only, none larger than the entry buffer, and
//     the links planted there, untouched.
//
// Inputs of odd length run with three workers, the others with one.
//
// Sanitizer findings (ASan, UBSan) abort on their own. One scratch tree serves every run.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "format/archive.hpp"
#include "watched_site.hpp"

namespace {

namespace fs = std::filesystem;

darvex::test_support::watched_site* site = nullptr;

[[noreturn]] void broken_promise(const std::string& what) {
  std::fprintf(stderr, "extract_fuzzer: %s\n", what.c_str());
  std::abort();
}

void check_run(int status) {
  if (status < 0 || status > 2) broken_promise("exit status " + std::to_string(status));
  for (const std::string& escape : site->escapes()) broken_promise(escape);
  for (const auto& item : fs::recursive_directory_iterator(site->output_dir())) {
    if (!item.is_symlink() && item.is_regular_file() && item.file_size() > darvex::ENTRY_BUFFER_SIZE) {
      broken_promise("file larger than the entry buffer: " + item.path().filename().string());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The tool's progress lines would cost more than the run itself.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  site = new darvex::test_support::watched_site;
  // A normal exit (the end of -max_total_time or -runs) removes the scratch tree.
  std::atexit([] { delete site; });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> jobs{"-j", size % 2 == 1 ? "3" : "1"};
  check_run(site->run(std::string(reinterpret_cast<const char*>(data), size), jobs));
  return 0;
}
