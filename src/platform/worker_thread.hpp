#pragma once

// A thread for a worker: started with a small stack of its own and joined when it goes. Workers
// keep their large buffers on the heap and need little stack; the system's default stack (8 MiB
// on Linux) would, under an address-space limit, take the room those buffers need.

#include <functional>

#include "platform/platform.hpp"

namespace platform {

class worker_thread {
 public:
  static constexpr std::size_t STACK_SIZE = 1 << 20;

  // Starts `body` on a new thread; throws std::system_error when the system makes none.
  explicit worker_thread(std::function<void()> body);
  ~worker_thread();  // waits for the thread to end
  worker_thread(worker_thread&& other) noexcept;
  worker_thread(const worker_thread&) = delete;
  worker_thread& operator=(const worker_thread&) = delete;
  worker_thread& operator=(worker_thread&&) = delete;

  struct started;  // the thread and what it runs

 private:
  started* thread_;
};

}  // namespace platform
