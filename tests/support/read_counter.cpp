// A library preloaded into the tool (LD_PRELOAD) to count what it reads: every pread and read
// call and the bytes they return, written at exit to the file $DARVEX_READ_COUNT as
// "<calls> <bytes>". Test support only: it shows how much of an archive a run reads.

#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<unsigned long> calls{0};
std::atomic<unsigned long long> bytes{0};

template <typename function>
function next_definition(const char* name) {
  return reinterpret_cast<function>(dlsym(RTLD_NEXT, name));
}

ssize_t counted(ssize_t got) {
  ++calls;
  if (got > 0) bytes += static_cast<unsigned long long>(got);
  return got;
}

struct report_at_exit {
  ~report_at_exit() {
    const char* path = std::getenv("DARVEX_READ_COUNT");
    if (path == nullptr) return;
    if (std::FILE* file = std::fopen(path, "w")) {
      std::fprintf(file, "%lu %llu\n", calls.load(), bytes.load());
      std::fclose(file);
    }
  }
} reporter;

}  // namespace

extern "C" {

ssize_t pread64(int fd, void* buffer, size_t length, off_t offset) {
  static const auto real = next_definition<ssize_t (*)(int, void*, size_t, off_t)>("pread64");
  return counted(real(fd, buffer, length, offset));
}

ssize_t pread(int fd, void* buffer, size_t length, off_t offset) {
  static const auto real = next_definition<ssize_t (*)(int, void*, size_t, off_t)>("pread");
  return counted(real(fd, buffer, length, offset));
}
}
