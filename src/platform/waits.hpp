#pragma once

// A lock and a condition to wait on, for the threads of one run: std::mutex and
// std::condition_variable on POSIX. On Windows they are the system's slim reader/writer lock and
// condition variable: MinGW's std::mutex and std::condition_variable (winpthreads) wait through
// events and semaphores, a call to Wine's server for every hand-over between two threads, where
// Wine waits for these inside the process. Windows XP has neither; there the standard ones serve.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

#ifndef _WIN32

using mutex = std::mutex;
using condition = std::condition_variable;

#else

class mutex {
 public:
  mutex() = default;
  mutex(const mutex&) = delete;
  mutex& operator=(const mutex&) = delete;
  void lock();
  void unlock();

 private:
  friend class condition;
  void* lock_ = nullptr;  // an SRWLOCK: one pointer, all zero when free
  std::mutex fallback_;   // where the system has no SRWLOCK
};

class condition {
 public:
  condition() = default;
  condition(const condition&) = delete;
  condition& operator=(const condition&) = delete;

  void notify_all();

  // Waits, `lock` held on entry and on return, until `ready()` is true.
  template <typename predicate>
  void wait(std::unique_lock<mutex>& lock, predicate ready) {
    while (!ready()) wait_once(lock, NO_TIMEOUT);
  }

  // As wait, for at most `timeout`; what `ready()` says at the end.
  template <typename rep, typename period, typename predicate>
  bool wait_for(std::unique_lock<mutex>& lock, const std::chrono::duration<rep, period>& timeout, predicate ready) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!ready()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return ready();
      wait_once(lock, left.count() < NO_TIMEOUT ? static_cast<std::uint32_t>(left.count()) : NO_TIMEOUT - 1);
    }
    return true;
  }

 private:
  static constexpr std::uint32_t NO_TIMEOUT = 0xFFFFFFFF;  // INFINITE

  // One wait, woken by notify_all, by the timeout or spuriously.
  void wait_once(std::unique_lock<mutex>& lock, std::uint32_t milliseconds);

  void* variable_ = nullptr;              // a CONDITION_VARIABLE: one pointer, all zero when new
  std::condition_variable_any fallback_;  // where the system has none
};

#endif

}  // namespace platform
