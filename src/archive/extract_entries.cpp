// Entry extraction. Each entry takes one positional read of its span, one inflate into room of
// its recorded size, and one hand-over of the bytes inflate produced. An entry is judged in the
// plan before anything is read for it; a refused or unreadable entry reaches no sink.
//
// Several workers share only a counter of the next entry to take and a table of outcomes
// guarded by one mutex. The calling thread tells the listener of each entry in index order as
// soon as it is done. A worker about to hand over an entry whose file an earlier entry also
// writes waits for that one first, so the later entry wins, as in index order. No deadlock: an
// entry only ever waits for an earlier one, which a worker has already taken.

#include "archive/extract_entries.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace darvex {
namespace {

// A buffer that grows to the largest request it has served and is reused from then on.
class growable_buffer {
 public:
  // Room for `size` bytes, or nullptr when there is not enough memory.
  unsigned char* room(std::size_t size) {
    if (size > capacity_) {
      bytes_.reset();  // the old bytes go first: the two are never held at once
      bytes_.reset(new (std::nothrow) unsigned char[size]);
      capacity_ = bytes_ ? size : 0;
    }
    return size == 0 || bytes_ ? bytes_.get() : nullptr;
  }

 private:
  std::unique_ptr<unsigned char[]> bytes_;
  std::size_t capacity_ = 0;
};

// What one thread needs for entries of its own: buffers and an inflater.
struct worker_tools {
  growable_buffer span;
  growable_buffer data;
  inflater inflate;
};

problem damaged(std::string reason, int err = 0) { return {problem_kind::damaged_entry, {}, std::move(reason), err}; }

// Reads, inflates and hands over one entry. `wait_turn()` returns once every earlier entry that
// writes the same file is done.
template <typename wait_function>
entry_outcome extract_one(const archive_file& archive, const planned_entry& entry, worker_tools& tools,
                          entry_sink& sink, wait_function&& wait_turn) {
  if (entry.refused()) return {entry.refusal};
  const auto span_length = static_cast<std::size_t>(entry.span_length());
  unsigned char* span = tools.span.room(span_length);
  unsigned char* data = tools.data.room(entry.size);
  if ((span == nullptr && span_length > 0) || (data == nullptr && entry.size > 0)) {
    return {damaged("not enough memory for its " + std::to_string(span_length + entry.size) + "-byte buffers")};
  }
  if (maybe_problem unread = archive.read(entry.start, span, span_length)) {
    return {damaged(std::move(unread->reason), unread->err)};
  }
  const inflate_result inflated = tools.inflate.inflate(data, entry.size, span, span_length);
  wait_turn();
  entry_outcome outcome = sink.take(entry, data, inflated.produced);
  if (outcome.failure || outcome.kept_existing || inflated.outcome == inflate_outcome::complete) return outcome;
  return {damaged(describe_inflate_failure(inflated, entry.size))};
}

// extract_one, with any failure to allocate made the entry's own problem.
template <typename wait_function>
entry_outcome extract_guarded(const archive_file& archive, const planned_entry& entry, worker_tools& tools,
                              entry_sink& sink, wait_function&& wait_turn) {
  try {
    return extract_one(archive, entry, tools, sink, wait_turn);
  } catch (const std::bad_alloc&) {
    return {damaged("out of memory")};
  }
}

void extract_in_order(const archive_file& archive, const entry_plan& plan, entry_sink& sink, entry_listener& listener) {
  worker_tools tools;
  for (const planned_entry& entry : plan.entries) {
    listener.entry_done(entry, extract_guarded(archive, entry, tools, sink, [] {}));
    listener.idle();
  }
}

// The state the workers and the calling thread share.
class parallel_run {
 public:
  parallel_run(const archive_file& archive, const entry_plan& plan, entry_sink& sink)
      : archive_(archive), entries_(plan.entries), sink_(sink), slots_(entries_.size()) {}

  void work() {
    worker_tools tools;
    for (std::size_t i = next_++; i < entries_.size(); i = next_++) {
      entry_outcome outcome =
          extract_guarded(archive_, entries_[i], tools, sink_, [&] { wait_until_done(entries_[i].waits_for); });
      const std::lock_guard<std::mutex> lock(mutex_);
      slots_[i].outcome = std::move(outcome);
      slots_[i].done = true;
      // Waking costs a system call: only for a thread that waits, and for what it waits for.
      if (awaited_ == i || same_file_waiters_ > 0) done_.notify_all();
    }
  }

  // Tells the listener of every entry in index order, each as soon as it is done. The listener
  // hears that nothing is ready only once the wait for the next entry has lasted a while, so
  // that entries finishing in quick succession cost no flush each, and again each while after
  // that, so that a progress line stays alive through a long entry.
  void tell(entry_listener& listener) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      std::unique_lock<std::mutex> lock(mutex_);
      const auto done = [&] { return slots_[i].done; };
      if (!done()) {
        awaited_ = i;
        while (!done_.wait_for(lock, IDLE_AFTER, done)) {
          lock.unlock();
          listener.idle();
          lock.lock();
        }
        awaited_ = NONE;
      }
      const entry_outcome outcome = std::move(slots_[i].outcome);
      lock.unlock();
      listener.entry_done(entries_[i], outcome);
    }
  }

 private:
  static constexpr std::size_t NONE = SIZE_MAX;
  static constexpr std::chrono::milliseconds IDLE_AFTER{20};

  // One entry of the plan as the workers and the calling thread share it.
  struct slot {
    entry_outcome outcome;
    bool done = false;
  };

  void wait_until_done(std::optional<std::size_t> slot) {
    if (!slot) return;
    std::unique_lock<std::mutex> lock(mutex_);
    ++same_file_waiters_;
    done_.wait(lock, [&] { return slots_[*slot].done; });
    --same_file_waiters_;
  }

  const archive_file& archive_;
  const std::vector<planned_entry>& entries_;
  entry_sink& sink_;
  std::vector<slot> slots_;  // one for each entry of the plan
  std::atomic<std::size_t> next_{0};
  std::mutex mutex_;  // guards slots_, awaited_ and same_file_waiters_
  std::condition_variable done_;
  std::size_t awaited_ = NONE;         // the slot the calling thread waits for
  std::size_t same_file_waiters_ = 0;  // workers waiting for an earlier entry of their file
};

// Starts up to `count` workers; fewer when the system will not make more threads. Each is
// joined when the vector goes.
std::vector<std::jthread> start_workers(parallel_run& run, unsigned count) {
  std::vector<std::jthread> workers;
  try {
    for (unsigned i = 0; i < count; ++i) workers.emplace_back([&run] { run.work(); });
  } catch (const std::system_error&) {
  }
  return workers;
}

}  // namespace

void extract_entries(const archive_file& archive, const entry_plan& plan, entry_sink& sink, entry_listener& listener,
                     unsigned jobs) {
  const auto workers_wanted = static_cast<unsigned>(std::min<std::size_t>(jobs, plan.entries.size()));
  if (workers_wanted <= 1) return extract_in_order(archive, plan, sink, listener);

  parallel_run run(archive, plan, sink);
  const std::vector<std::jthread> workers = start_workers(run, workers_wanted);
  if (workers.empty()) return extract_in_order(archive, plan, sink, listener);
  run.tell(listener);
}

void tell_entries(const entry_plan& plan, entry_listener& listener) {
  for (const planned_entry& entry : plan.entries) listener.entry_done(entry, {entry.refusal});
}

}  // namespace darvex
