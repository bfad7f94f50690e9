// A library preloaded into the tool (LD_PRELOAD) to record, in the order they happen, the calls
// that put a file on the disk and in place: every fsync and fdatasync (with the path of the file
// or folder synced) and every rename (with both names), one line each, appended to the file
// $DARVEX_SYNC_LOG as it happens:
//
//   sync /tmp/x/.DarvEx-partial\123-1
//   rename .DarvEx-partial\123-1 new.dat
//   sync /tmp/x
//
// With $DARVEX_INTERRUPT_AFTER set to "sync" or "rename", the tool is sent SIGINT (as Ctrl-C
// sends it) right after the first such call that succeeds. Test support only.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

template <typename function>
function next_definition(const char* name) {
  return reinterpret_cast<function>(dlsym(RTLD_NEXT, name));
}

void record(const std::string& line) {
  const char* path = std::getenv("DARVEX_SYNC_LOG");
  if (path == nullptr) return;
  const int saved = errno;
  const int log = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (log >= 0) {
    const std::string text = line + "\n";
    if (write(log, text.data(), text.size()) < 0) {
      // Nothing to be done: the test finds the line missing.
    }
    close(log);
  }
  errno = saved;
}

std::string path_of(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char target[4096];
  const ssize_t length = readlink(link, target, sizeof target - 1);
  return length < 0 ? "?" : std::string(target, static_cast<std::size_t>(length));
}

// Sends SIGINT after the first successful call of `kind`, when $DARVEX_INTERRUPT_AFTER asks for it.
void interrupt_after(const char* kind, int result) {
  static bool sent = false;
  const char* after = std::getenv("DARVEX_INTERRUPT_AFTER");
  if (result != 0 || sent || after == nullptr || std::strcmp(after, kind) != 0) return;
  sent = true;
  const int saved = errno;
  std::raise(SIGINT);
  errno = saved;
}

int synced(int fd, int result) {
  if (result == 0) record("sync " + path_of(fd));
  interrupt_after("sync", result);
  return result;
}

int renamed(const char* from, const char* to, int result) {
  if (result == 0) record(std::string("rename ") + from + " " + to);
  interrupt_after("rename", result);
  return result;
}

}  // namespace

extern "C" {

int fsync(int fd) {
  static const auto real = next_definition<int (*)(int)>("fsync");
  return synced(fd, real(fd));
}

int fdatasync(int fd) {
  static const auto real = next_definition<int (*)(int)>("fdatasync");
  return synced(fd, real(fd));
}

int rename(const char* from, const char* to) {
  static const auto real = next_definition<int (*)(const char*, const char*)>("rename");
  return renamed(from, to, real(from, to));
}

int renameat(int from_folder, const char* from, int to_folder, const char* to) {
  static const auto real = next_definition<int (*)(int, const char*, int, const char*)>("renameat");
  return renamed(from, to, real(from_folder, from, to_folder, to));
}

int renameat2(int from_folder, const char* from, int to_folder, const char* to, unsigned flags) {
  static const auto real = next_definition<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
  return renamed(from, to, real(from_folder, from, to_folder, to, flags));
}
}
