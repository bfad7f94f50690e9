#pragma once

// Lets one worker run an entry while no other is in flight. A worker counts as active from the
// moment it joins until it quits, except while it waits: for an earlier entry (paused), for a
// lone run to end, or for its own lone run to start. One that ran short of memory or
// descriptors asks to run alone; from then on every other worker, at its next checkpoint
// between entries, gives back what it holds and waits, so that the lone run finds memory and
// descriptors free.
//
// The lone run must not wait for another entry: its worker waits for its entry's turn before it
// asks. A paused worker may resume only while no lone run is asked for or running, so that it
// never competes with one.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace darvex {

class solo_gate {
 public:
  void join() {
    change([&] { ++active_; });
  }
  void quit() {
    change([&] { --active_; });
  }

  // Between entries: when a lone run is asked for or running, gives back what the caller holds
  // (`give_back()`) and waits for it to end.
  template <typename function>
  void checkpoint(function&& give_back) {
    // Between every two entries, so without the lock while no lone run is asked for: one asked
    // for a moment later waits for this worker's entry, as for one already under way.
    if (lone_asked_.load() == 0) return;
    std::unique_lock<std::mutex> lock(mutex_);
    if (open()) return;
    // Given back before the caller stops counting, so that a lone run never starts beside it.
    lock.unlock();
    give_back();
    lock.lock();
    --active_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return open(); });
    ++active_;
  }

  // Around a wait for an earlier entry.
  void pause() {
    change([&] { --active_; });
  }
  void resume() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return open(); });
    ++active_;
  }

  // Runs `work()` once no other worker is active; the caller is paused, and active again after.
  template <typename function>
  void run_alone(function&& work) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ++lone_asked_;
      ++lone_waiting_;
      changed_.wait(lock, [&] { return active_ == 0 && !lone_running_; });
      --lone_waiting_;
      lone_running_ = true;
    }
    work();
    change([&] {
      lone_running_ = false;
      --lone_asked_;
      ++active_;
    });
  }

 private:
  bool open() const { return lone_waiting_ == 0 && !lone_running_; }

  template <typename function>
  void change(function&& update) {
    const std::lock_guard<std::mutex> lock(mutex_);
    update();
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;  // active_, lone_waiting_ or lone_running_ changed
  std::size_t active_ = 0;
  std::size_t lone_waiting_ = 0;
  bool lone_running_ = false;
  std::atomic<std::size_t> lone_asked_{0};  // lone runs asked for and not yet over
};

}  // namespace darvex
