#include <fcntl.h>
#include <signal.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <unistd.h>

#include <atomic>

#include "platform/process.hpp"

namespace platform {
namespace {

std::atomic<int> interrupted_by{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

extern "C" void record_interrupt(int signal_number) {
  int none = 0;
  interrupted_by.compare_exchange_strong(none, signal_number);
}

// Opens the null device on each of the standard descriptors that is closed. open() takes the
// lowest free number, so each one opened fills the gap in turn.
void fill_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    const int opened = open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != fd) close(opened);  // cannot happen while fd is the lowest free one
  }
}

void set_handler(int signal_number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls resume: the run decides when to stop, between entries.
  action.sa_flags = SA_RESTART;
  sigaction(signal_number, &action, nullptr);
}

}  // namespace

void prepare_process() {
  fill_standard_descriptors();
#ifdef __GLIBC__
  // Blocks of 256 KiB or more (a file's bytes, a stream being made) come from the system and go
  // back to it when freed. Left to itself, glibc raises that threshold to the largest block freed
  // so far, and later large blocks stay in each thread's heap once freed: a run packing files of
  // many sizes held 10 MiB more than its buffers.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
  set_handler(SIGPIPE, SIG_IGN);
  set_handler(SIGXFSZ, SIG_IGN);  // a write past the file-size limit fails with EFBIG instead
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored on arrival stays ignored, as nohup and background jobs expect.
    struct sigaction current {};
    if (sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    set_handler(signal_number, record_interrupt);
  }
}

int interrupting_signal() { return interrupted_by.load(); }

}  // namespace platform
