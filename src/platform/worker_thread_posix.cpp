#include <pthread.h>

#include <memory>
#include <system_error>

#include "platform/worker_thread.hpp"

namespace platform {

struct worker_thread::started {
  pthread_t id;
  std::function<void()> body;
};

namespace {

extern "C" void* run_body(void* thread) {
  static_cast<worker_thread::started*>(thread)->body();
  return nullptr;
}

}  // namespace

worker_thread::worker_thread(std::function<void()> body) {
  auto thread = std::make_unique<started>();
  thread->body = std::move(body);
  pthread_attr_t attributes;
  if (int err = pthread_attr_init(&attributes)) throw std::system_error(err, std::generic_category());
  pthread_attr_setstacksize(&attributes, STACK_SIZE);
  const int err = pthread_create(&thread->id, &attributes, run_body, thread.get());
  pthread_attr_destroy(&attributes);
  if (err != 0) throw std::system_error(err, std::generic_category(), "cannot start a worker");
  thread_ = thread.release();
}

worker_thread::worker_thread(worker_thread&& other) noexcept : thread_(other.thread_) { other.thread_ = nullptr; }

worker_thread::~worker_thread() {
  if (thread_ == nullptr) return;
  pthread_join(thread_->id, nullptr);
  delete thread_;
}

}  // namespace platform
