#pragma once

// Lets one worker run an entry while no other is in flight. Workers count as active while they
// work on an entry; one that ran short of memory or descriptors asks to run alone, and from then
// on no worker starts or resumes an entry until that run is over. A worker that has to wait
// first gives back what it holds, so that the lone run finds memory and descriptors free.
//
// The lone run must not wait for another entry: its worker waits for its entry's turn before it
// asks, so that the entries it waits for finish first, and a worker that resumes after such a
// wait is never what the lone run waits for.

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace darvex {

class solo_gate {
 public:
  // Counts the caller as active, once no lone run is asked for or running. `give_back()` runs
  // first when the caller has to wait.
  template <typename function>
  void enter(function&& give_back) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!open()) {
      lock.unlock();
      give_back();
      lock.lock();
      changed_.wait(lock, [&] { return open(); });
    }
    ++active_;
  }

  // The caller is no longer active.
  void leave() {
    const std::lock_guard<std::mutex> lock(mutex_);
    --active_;
    if (lone_waiting_ > 0 && active_ == 0) changed_.notify_all();
  }

  // Runs `work()` once no other worker is active; the caller must not be active.
  template <typename function>
  void run_alone(function&& work) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ++lone_waiting_;
      changed_.wait(lock, [&] { return active_ == 0 && !lone_running_; });
      --lone_waiting_;
      lone_running_ = true;
    }
    work();
    const std::lock_guard<std::mutex> lock(mutex_);
    lone_running_ = false;
    changed_.notify_all();
  }

 private:
  bool open() const { return lone_waiting_ == 0 && !lone_running_; }

  std::mutex mutex_;
  std::condition_variable changed_;  // active_, lone_waiting_ or lone_running_ changed
  std::size_t active_ = 0;
  std::size_t lone_waiting_ = 0;
  bool lone_running_ = false;
};

}  // namespace darvex
