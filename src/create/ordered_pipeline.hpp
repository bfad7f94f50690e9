#pragma once

// Items made by several workers and taken by the calling thread one at a time, in order: what
// the archive writer needs, since each stream's offset depends on every stream before it. A
// worker starts the next item only while the items made and waiting to be taken weigh less
// than a budget, so that the memory held stays bounded (the budget, and one item in the making
// per worker) while workers run ahead of an item that takes long, as far as small items allow.
// With one job everything runs in the calling thread, one item after another.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace darvex {

// Makes items 0 to count - 1 with `jobs` workers, each with a maker of its own from
// `new_maker()` (called on the worker's thread), and hands each to `take(i, item)` on the
// calling thread in order. Made items wait to be taken while `weigh(item)` of them adds up to
// less than `budget`. `take` returns false, or `stopped()` true, to stop: no further item is
// started or taken. Makers must not throw. Returns whether every item was taken.
template <typename item, typename maker_factory, typename taker, typename weigher>
bool run_in_order(std::size_t count, unsigned jobs, maker_factory&& new_maker, taker&& take, weigher&& weigh,
                  std::size_t budget, bool (*stopped)()) {
  const auto in_sequence = [&] {
    auto make = new_maker();
    for (std::size_t i = 0; i < count; ++i) {
      if (stopped()) return false;
      item made{};
      make(i, made);
      if (!take(i, made)) return false;
    }
    return true;
  };
  if (jobs <= 1 || count <= 1) return in_sequence();

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::optional<item>> slots(count);
  std::size_t next = 0, running = 0, waiting = 0;  // waiting: the weight of items made, not taken
  bool quit = false;
  const auto work = [&] {
    auto make = new_maker();
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return quit || next >= count || waiting < budget; });
      if (quit || next >= count || stopped()) break;
      const std::size_t i = next++;
      lock.unlock();
      item made{};
      make(i, made);
      lock.lock();
      waiting += weigh(made);
      slots[i] = std::move(made);
      changed.notify_all();
    }
    --running;
    changed.notify_all();
  };
  std::vector<std::jthread> workers;
  try {
    for (unsigned k = 0; k < jobs; ++k) {
      const std::lock_guard<std::mutex> lock(mutex);
      workers.emplace_back(work);
      ++running;
    }
  } catch (const std::system_error&) {
  }
  if (workers.empty()) return in_sequence();

  bool whole = true;
  for (std::size_t i = 0; i < count && whole; ++i) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return slots[i].has_value() || running == 0; });
    if (!slots[i]) {
      whole = false;  // the workers stopped before it
      break;
    }
    item made = std::move(*slots[i]);
    slots[i].reset();
    waiting -= weigh(made);
    changed.notify_all();
    lock.unlock();
    whole = !stopped() && take(i, made);
  }
  const std::lock_guard<std::mutex> lock(mutex);
  quit = true;
  changed.notify_all();
  return whole;
}

}  // namespace darvex
