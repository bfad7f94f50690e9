// A library preloaded into the tool (LD_PRELOAD) to count what it reads: every pread call and
// the bytes they return, and the openat calls of names ending in $DARVEX_OPEN_SUFFIX, written
// at exit to the file $DARVEX_READ_COUNT as "<calls> <bytes> <opens>". Test support only: it
// shows how much of an archive a run reads, and how often it opens the files it packs.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<unsigned long> calls{0};
std::atomic<unsigned long long> bytes{0};
std::atomic<unsigned long> opens{0};

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
      std::fprintf(file, "%lu %llu %lu\n", calls.load(), bytes.load(), opens.load());
      std::fclose(file);
    }
  }
} reporter;

void count_open(const char* name) {
  const char* suffix = std::getenv("DARVEX_OPEN_SUFFIX");
  if (suffix == nullptr || name == nullptr) return;
  const std::size_t length = std::strlen(name);
  const std::size_t suffix_length = std::strlen(suffix);
  if (length >= suffix_length && std::strcmp(name + length - suffix_length, suffix) == 0) ++opens;
}

using openat_function = int (*)(int, const char*, int, ...);

int counted_openat(openat_function real, int folder, const char* name, int flags, va_list rest) {
  count_open(name);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(rest, int)) : 0;
  return real(folder, name, flags, mode);
}

}  // namespace

extern "C" {

int openat(int folder, const char* name, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  static const auto real = next_definition<openat_function>("openat");
  const int fd = counted_openat(real, folder, name, flags, rest);
  va_end(rest);
  return fd;
}

int openat64(int folder, const char* name, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  static const auto real = next_definition<openat_function>("openat64");
  const int fd = counted_openat(real, folder, name, flags, rest);
  va_end(rest);
  return fd;
}

ssize_t pread64(int fd, void* buffer, size_t length, off_t offset) {
  static const auto real = next_definition<ssize_t (*)(int, void*, size_t, off_t)>("pread64");
  return counted(real(fd, buffer, length, offset));
}

ssize_t pread(int fd, void* buffer, size_t length, off_t offset) {
  static const auto real = next_definition<ssize_t (*)(int, void*, size_t, off_t)>("pread");
  return counted(real(fd, buffer, length, offset));
}
}
