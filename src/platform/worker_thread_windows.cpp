#include <process.h>
#include <windows.h>

#include <memory>
#include <system_error>

#include "platform/worker_thread.hpp"

namespace platform {

struct worker_thread::started {
  HANDLE handle = nullptr;
  std::function<void()> body;
};

namespace {

unsigned __stdcall run_body(void* thread) {
  static_cast<worker_thread::started*>(thread)->body();
  return 0;
}

}  // namespace

worker_thread::worker_thread(std::function<void()> body) {
  auto thread = std::make_unique<started>();
  thread->body = std::move(body);
  // _beginthreadex, not CreateThread, so that the C runtime sets up what it keeps per thread;
  // the size is the stack's reservation, not its commit.
  const std::uintptr_t handle = _beginthreadex(nullptr, static_cast<unsigned>(STACK_SIZE), run_body, thread.get(),
                                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (handle == 0) throw std::system_error(errno, std::generic_category(), "cannot start a worker");
  thread->handle = reinterpret_cast<HANDLE>(handle);
  thread_ = thread.release();
}

worker_thread::worker_thread(worker_thread&& other) noexcept : thread_(other.thread_) { other.thread_ = nullptr; }

worker_thread::~worker_thread() {
  if (thread_ == nullptr) return;
  WaitForSingleObject(thread_->handle, INFINITE);
  CloseHandle(thread_->handle);
  delete thread_;
}

}  // namespace platform
