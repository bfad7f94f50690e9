#pragma once

// Items made by several workers and taken by the calling thread one at a time, in order: what
// the archive writer needs, since each stream's offset depends on every stream before it. A
// worker starts the next item only while the items made and waiting to be taken weigh less
// than a budget, so that the memory held stays bounded (the budget, and one item in the making
// per worker) while workers run ahead of an item that takes long, as far as small items allow.
// With one job everything runs in the calling thread, one item after another.
//
// The workers are platform::worker_threads, whose small stacks leave an address-space limit its
// room for the pieces' buffers. When the system makes fewer threads than asked for, those it
// made do all the work; when it makes none, or no worker can make its maker, the calling thread
// makes what is left itself.

#include <algorithm>
#include <cstddef>
#include <new>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/process.hpp"
#include "platform/waits.hpp"
#include "platform/worker_thread.hpp"

namespace darvex {
namespace pipeline_detail {

// One run: the state the workers and the calling thread share under one lock, and the workers.
// Going, it tells the workers to start nothing more and waits for them, whatever ended it (an
// exception from `take` too).
template <typename item, typename thread_type, typename maker_factory, typename taker, typename weigher>
class ordered_run {
 public:
  ordered_run(std::size_t count, maker_factory& new_maker, taker& take, weigher& weigh, std::size_t budget,
              platform::stop_check stopped)
      : count_(count),
        new_maker_(new_maker),
        take_(take),
        weigh_(weigh),
        budget_(budget),
        stopped_(std::move(stopped)) {}
  ~ordered_run() { quit(); }  // then workers_, the last member, joins them
  ordered_run(const ordered_run&) = delete;
  ordered_run& operator=(const ordered_run&) = delete;

  // Makes and takes items `first` to count - 1 on the calling thread; whether it took them all.
  bool in_sequence(std::size_t first) {
    auto make = new_maker_();
    for (std::size_t i = first; i < count_; ++i) {
      if (stopped_()) return false;
      item made{};
      make(i, made);
      if (!take_(i, made)) return false;
    }
    return true;
  }

  // Starts up to `jobs` workers: as many as the system makes. Returns how many it made.
  std::size_t start(std::size_t jobs) {
    slots_.resize(count_);
    workers_.reserve(jobs);
    try {
      for (std::size_t k = 0; k < jobs; ++k) {
        const std::lock_guard<platform::mutex> lock(mutex_);
        workers_.emplace_back([this] { work(); });
        ++running_;
      }
    } catch (const std::system_error&) {
    }
    return workers_.size();
  }

  // Takes each item in order once a worker made it. Should every worker be gone before the
  // next item is made (none could make its maker), the calling thread makes the rest.
  bool take_in_order() {
    for (std::size_t i = 0; i < count_; ++i) {
      std::optional<item> made = wait_for(i);
      if (!made) return !stopped_() && in_sequence(i);
      if (stopped_() || !take_(i, *made)) return false;
    }
    return true;
  }

 private:
  void work() {
    try {
      auto make = new_maker_();
      make_items(make);
    } catch (const std::bad_alloc&) {
      // A worker without a maker makes nothing, as if it had not started.
    }
    const std::lock_guard<platform::mutex> lock(mutex_);
    --running_;
    changed_.notify_all();
  }

  // Makes the next item not yet started, while the budget allows, until every item is started,
  // the run is stopped or quit() is called.
  template <typename maker>
  void make_items(maker& make) {
    std::unique_lock<platform::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return quit_ || next_ >= count_ || waiting_ < budget_; });
      if (quit_ || next_ >= count_ || stopped_()) return;
      const std::size_t i = next_++;
      lock.unlock();
      item made{};
      make(i, made);
      lock.lock();
      waiting_ += weigh_(made);
      slots_[i] = std::move(made);
      changed_.notify_all();
    }
  }

  // Item `i` once it is made, or nothing when no worker is left to make it.
  std::optional<item> wait_for(std::size_t i) {
    std::unique_lock<platform::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return slots_[i].has_value() || running_ == 0; });
    std::optional<item> made = std::move(slots_[i]);
    slots_[i].reset();
    if (made) waiting_ -= weigh_(*made);
    changed_.notify_all();
    return made;
  }

  void quit() {
    const std::lock_guard<platform::mutex> lock(mutex_);
    quit_ = true;
    changed_.notify_all();
  }

  const std::size_t count_;
  maker_factory& new_maker_;
  taker& take_;
  weigher& weigh_;
  const std::size_t budget_;
  const platform::stop_check stopped_;

  platform::mutex mutex_;
  platform::condition changed_;
  std::vector<std::optional<item>> slots_;
  std::size_t next_ = 0;     // the next item to start
  std::size_t running_ = 0;  // workers not yet gone
  std::size_t waiting_ = 0;  // the weight of the items made and not yet taken
  bool quit_ = false;
  std::vector<thread_type> workers_;  // last, so that they are joined before the state they share goes
};

}  // namespace pipeline_detail

// Makes items 0 to count - 1 with up to `jobs` workers (threads of `thread_type`), each with a
// maker of its own from `new_maker()` (called on the worker's thread; a worker whose call
// throws std::bad_alloc makes nothing), and hands each to `take(i, item)` on the calling thread
// in order. Made items wait to be taken while `weigh(item)` of them adds up to less than
// `budget`. `take` returns false, or `stopped()` true, to stop: no further item is started or
// taken. Makers must not throw; an exception from `take` leaves once the workers are gone.
// Returns whether every item was taken.
template <typename item, typename thread_type = platform::worker_thread, typename maker_factory, typename taker,
          typename weigher>
bool run_in_order(std::size_t count, unsigned jobs, maker_factory&& new_maker, taker&& take, weigher&& weigh,
                  std::size_t budget, platform::stop_check stopped) {
  pipeline_detail::ordered_run<item, thread_type, maker_factory, taker, weigher> run(count, new_maker, take, weigh,
                                                                                     budget, std::move(stopped));
  const std::size_t workers_wanted = std::min<std::size_t>(jobs, count);
  if (workers_wanted <= 1 || run.start(workers_wanted) == 0) return run.in_sequence(0);
  return run.take_in_order();
}

}  // namespace darvex
