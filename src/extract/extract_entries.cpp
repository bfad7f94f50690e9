// Entry extraction. Each entry takes one positional read of its span, one inflate into room of
// its recorded size, and one hand-over of the bytes inflate produced. An entry is judged in the
// plan before anything is read for it; a refused or unreadable entry reaches no sink.
//
// Several workers share a counter of the next entry to take, a slot per entry, and a gate that
// lets a starved entry run alone (solo_gate.hpp). A slot's outcome is written by its worker
// before the slot's completion flag is set, and read only after it is seen set. Each kind of
// waiting has a place of its own: a worker about to hand over an entry waits for the flag of the
// earlier entry its path depends on (the plan's waits_for), so that index order decides; for a
// sink that takes entries in index order, it also waits until every earlier entry is told; the
// calling thread waits for the next slot to tell, with a time limit after which it tells the
// listener it is idle. No deadlock: an entry only ever waits for earlier ones, which workers
// have already taken, and a worker that waits does not count as active for a lone run.

#include "extract/extract_entries.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

#include "extract/solo_gate.hpp"
#include "format/growable_buffer.hpp"
#include "platform/worker_thread.hpp"

namespace darvex {
namespace {

// What one thread needs for entries of its own, each part made when first needed, so that a
// failure to make it is an entry's problem.
struct worker_tools {
  growable_buffer span;
  growable_buffer data;
  std::unique_ptr<inflater> inflate;
  std::unique_ptr<entry_writer> writer;

  // Gives back every part, for another worker's lone run.
  void release() {
    span.release();
    data.release();
    inflate.reset();
    writer.reset();
  }
};

// Where threads sleep until a condition on atomics holds, woken by whoever changes them. Not
// atomic::wait: libstdc++ 12 builds that from a condition variable where the system has no
// futex (MinGW), and there loses wake-ups. Waking costs a system call, so only a room with
// someone in it is woken; a waiter counts itself before it looks at the condition, so that it
// is never missed.
class waiting_room {
 public:
  template <typename condition>
  void wait_until(condition&& holds) {
    if (holds()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    ++waiting_;
    woken_.wait(lock, holds);
    --waiting_;
  }

  // Call after changing what waiters look at.
  void wake_all() {
    if (waiting_.load() == 0) return;
    { const std::lock_guard<std::mutex> lock(mutex_); }  // a waiter is asleep, or has not looked yet
    woken_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable woken_;
  std::atomic<std::size_t> waiting_{0};
};

// How an entry waits for the earlier one its path depends on; waiting twice costs nothing.
class turn {
 public:
  virtual void wait() = 0;
  // For a sink that takes entries in index order: waits until every earlier entry has been
  // told; false when the telling was cut short and none will be.
  virtual bool wait_until_told() = 0;
  // Whether the earlier entry of the same file kept what was there; false when there is none.
  virtual bool earlier_kept() const = 0;

 protected:
  ~turn() = default;
};

problem damaged(std::string reason, int err = 0) { return {problem_kind::damaged_entry, {}, std::move(reason), err}; }

entry_outcome starved(std::string reason) { return {damaged(std::move(reason)), false, true}; }

// Reads, inflates and hands over one entry.
entry_outcome extract_one(const archive_file& archive, const planned_entry& entry, worker_tools& tools,
                          entry_sink& sink, turn& its_turn) {
  if (entry.refused()) return {entry.refusal};
  if (!tools.writer) tools.writer = sink.writer();
  if (!tools.inflate) tools.inflate = std::make_unique<inflater>();
  bool earlier_kept = false;
  if (sink.decides_in_turn()) {
    its_turn.wait();
    earlier_kept = its_turn.earlier_kept();
  }
  if (auto decided = tools.writer->before_reading(entry, earlier_kept)) return std::move(*decided);
  const auto span_length = static_cast<std::size_t>(entry.span_length());
  unsigned char* span = tools.span.room(span_length);
  unsigned char* data = tools.data.room(entry.size);
  if ((span == nullptr && span_length > 0) || (data == nullptr && entry.size > 0)) {
    return starved("not enough memory for its " + std::to_string(span_length + entry.size) + "-byte buffers");
  }
  if (maybe_problem unread = archive.read(entry.start, span, span_length)) {
    return {damaged(std::move(unread->reason), unread->err)};
  }
  const inflate_result inflated = tools.inflate->inflate(data, entry.size, span, span_length);
  if (inflated.outcome == inflate_outcome::out_of_memory) {
    return starved(describe_inflate_failure(inflated, entry.size));
  }
  its_turn.wait();
  if (sink.in_index_order() && !its_turn.wait_until_told()) return {};
  entry_outcome outcome = tools.writer->take(entry, data, inflated.produced);
  if (outcome.failure || outcome.kept_existing || inflated.outcome == inflate_outcome::complete) return outcome;
  return {damaged(describe_inflate_failure(inflated, entry.size))};
}

// extract_one, with any exception made the entry's own problem.
entry_outcome extract_guarded(const archive_file& archive, const planned_entry& entry, worker_tools& tools,
                              entry_sink& sink, turn& its_turn) {
  try {
    return extract_one(archive, entry, tools, sink, its_turn);
  } catch (const std::bad_alloc&) {
    return starved("out of memory");
  } catch (const std::exception& failure) {
    return {damaged(std::string("unexpected failure: ") + failure.what())};
  } catch (...) {
    return {damaged("unexpected failure")};
  }
}

// One thread: every earlier entry is done before the next starts.
class in_order_turn final : public turn {
 public:
  explicit in_order_turn(bool earlier_kept) : earlier_kept_(earlier_kept) {}
  void wait() override {}
  bool wait_until_told() override { return true; }
  bool earlier_kept() const override { return earlier_kept_; }

 private:
  bool earlier_kept_;
};

void extract_in_order(const archive_file& archive, const entry_plan& plan, entry_sink& sink, entry_listener& listener,
                      platform::stop_check stopped) {
  worker_tools tools;
  std::vector<bool> kept(plan.entries.size());
  for (std::size_t i = 0; i < plan.entries.size() && !stopped(); ++i) {
    const planned_entry& entry = plan.entries[i];
    in_order_turn its_turn(entry.same_file_as && kept[*entry.same_file_as]);
    const entry_outcome outcome = extract_guarded(archive, entry, tools, sink, its_turn);
    kept[i] = outcome.kept_existing;
    listener.entry_done(entry, outcome);
    listener.idle();
  }
}

// The state the workers and the calling thread share.
class parallel_run {
 public:
  parallel_run(const archive_file& archive, const entry_plan& plan, entry_sink& sink, platform::stop_check stopped)
      : archive_(archive), entries_(plan.entries), sink_(sink), stopped_(stopped), slots_(entries_.size()) {}

  void work() {
    worker_tools tools;
    gate_.join();
    for (std::size_t i = next_++; i < entries_.size(); i = next_++) {
      if (stopped_()) {
        next_ = entries_.size();  // the later entries are left undone, and not told
        break;
      }
      gate_.checkpoint([&] { tools.release(); });
      worker_turn its_turn(*this, i);
      entry_outcome outcome = extract_guarded(archive_, entries_[i], tools, sink_, its_turn);
      if (outcome.starved) {
        tools.release();
        gate_.pause();
        its_turn.wait_idle();
        gate_.run_alone([&] { outcome = extract_guarded(archive_, entries_[i], tools, sink_, its_turn); });
      }
      finish(i, std::move(outcome));
    }
    tools.release();
    gate_.quit();
    const std::lock_guard<std::mutex> lock(tell_mutex_);
    ++workers_done_;
    tell_wakeup_.notify_one();
  }

  // Tells the listener of every entry in index order, each as soon as it is done. The listener
  // hears that nothing is ready only once the wait for the next entry has lasted a while, so
  // that entries finishing in quick succession cost no flush each, and again each while after
  // that, so that a progress line stays alive through a long entry. Entries no worker took
  // (after an interrupt) are not told.
  void tell(entry_listener& listener, std::size_t worker_count) {
    try {
      for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (wait_to_tell(i, listener, worker_count)) listener.entry_done(entries_[i], slots_[i].outcome);
        told_through(i + 1);
      }
    } catch (...) {
      told_through(CUT_SHORT);  // no worker may wait for a turn that will not come
      throw;
    }
  }

 private:
  static constexpr std::size_t NONE = SIZE_MAX;
  static constexpr std::size_t CUT_SHORT = SIZE_MAX;
  static constexpr std::chrono::milliseconds IDLE_AFTER{20};

  // One entry of the plan as the workers and the calling thread share it.
  struct slot {
    entry_outcome outcome;          // written before `done` is set
    bool kept = false;              // likewise: the outcome kept what stood at the entry's name
    std::atomic<bool> done{false};  // the entry is finished: its outcome may be read
  };

  // An entry's wait for the earlier one its path depends on, on that one's completion flag. A
  // worker that waits is not active, so that a lone run may start meanwhile.
  class worker_turn final : public turn {
   public:
    worker_turn(parallel_run& run, std::size_t i) : run_(run), index_(i), entry_(run.entries_[i]) {}

    void wait() override {
      if (waited_ || !entry_.waits_for || is_done(*entry_.waits_for)) {
        waited_ = true;
        return;
      }
      run_.gate_.pause();
      wait_for_earlier();
      run_.gate_.resume();
    }
    // Waits without counting as active, as a worker about to run alone must: for the earlier
    // entry, and where entries are handed over in order for every earlier one to be told, so that
    // the lone run waits for nothing.
    void wait_idle() {
      wait_for_earlier();
      if (run_.sink_.in_index_order()) wait_for_telling();
    }
    bool earlier_kept() const override { return entry_.same_file_as && run_.slots_[*entry_.same_file_as].kept; }

    bool wait_until_told() override {
      if (run_.told_.load() < index_) {
        run_.gate_.pause();
        wait_for_telling();
        run_.gate_.resume();
      }
      return run_.told_.load() != CUT_SHORT;
    }

   private:
    void wait_for_earlier() {
      if (entry_.waits_for) {
        const std::atomic<bool>& done = run_.slots_[*entry_.waits_for].done;
        run_.finished_room_.wait_until([&] { return done.load(); });
      }
      waited_ = true;
    }
    void wait_for_telling() const {
      run_.told_room_.wait_until([&] { return run_.told_.load() >= index_; });
    }

    bool is_done(std::size_t slot) const { return run_.slots_[slot].done.load(); }

    parallel_run& run_;
    std::size_t index_;
    const planned_entry& entry_;
    bool waited_ = false;
  };

  void told_through(std::size_t count) {
    told_.store(count);
    told_room_.wake_all();
  }

  void finish(std::size_t i, entry_outcome outcome) {
    slot& finished = slots_[i];
    finished.kept = outcome.kept_existing;
    finished.outcome = std::move(outcome);
    finished.done.store(true);
    finished_room_.wake_all();
    // Waking costs a system call: only when the calling thread waits for this very slot.
    if (awaited_.load() == i) {
      const std::lock_guard<std::mutex> lock(tell_mutex_);
      tell_wakeup_.notify_one();
    }
  }

  // Waits until slot i is done; false when it never will be (the workers stopped before it).
  bool wait_to_tell(std::size_t i, entry_listener& listener, std::size_t worker_count) {
    if (slots_[i].done.load()) return true;
    std::unique_lock<std::mutex> lock(tell_mutex_);
    awaited_.store(i);
    const auto ready = [&] { return slots_[i].done.load() || workers_done_ == worker_count; };
    while (!tell_wakeup_.wait_for(lock, IDLE_AFTER, ready)) {
      lock.unlock();
      listener.idle();
      lock.lock();
    }
    awaited_.store(NONE);
    return slots_[i].done.load();
  }

  const archive_file& archive_;
  const std::vector<planned_entry>& entries_;
  entry_sink& sink_;
  platform::stop_check stopped_;
  std::vector<slot> slots_;  // one for each entry of the plan
  std::atomic<std::size_t> next_{0};
  solo_gate gate_;
  std::mutex tell_mutex_;  // guards the calling thread's wait and workers_done_
  std::condition_variable tell_wakeup_;
  std::atomic<std::size_t> awaited_{NONE};  // the slot the calling thread waits for
  std::size_t workers_done_ = 0;
  std::atomic<std::size_t> told_{0};  // how many of the first entries were told; CUT_SHORT when none more will be
  waiting_room finished_room_;        // workers waiting for an earlier entry to finish
  waiting_room told_room_;            // workers waiting for the earlier entries to be told
};

// Starts up to `count` workers; fewer when the system will not make more threads. Each is
// joined when the vector goes.
std::vector<platform::worker_thread> start_workers(parallel_run& run, unsigned count) {
  std::vector<platform::worker_thread> workers;
  try {
    for (unsigned i = 0; i < count; ++i) workers.emplace_back([&run] { run.work(); });
  } catch (const std::system_error&) {
  }
  return workers;
}

}  // namespace

void extract_entries(const archive_file& archive, const entry_plan& plan, entry_sink& sink, entry_listener& listener,
                     unsigned jobs, platform::stop_check stopped) {
  const auto workers_wanted = static_cast<unsigned>(std::min<std::size_t>(jobs, plan.entries.size()));
  if (workers_wanted <= 1) return extract_in_order(archive, plan, sink, listener, stopped);

  parallel_run run(archive, plan, sink, stopped);
  const std::vector<platform::worker_thread> workers = start_workers(run, workers_wanted);
  if (workers.empty()) return extract_in_order(archive, plan, sink, listener, stopped);
  run.tell(listener, workers.size());
}

void tell_entries(const entry_plan& plan, entry_listener& listener) {
  for (const planned_entry& entry : plan.entries) listener.entry_done(entry, {entry.refusal});
}

}  // namespace darvex
