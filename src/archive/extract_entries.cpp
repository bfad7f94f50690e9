// Entry extraction. Each entry takes one positional read of its span, one inflate into room of
// its recorded size, and one hand-over of the bytes inflate produced. An entry is judged in the
// plan before anything is read for it; a refused or unreadable entry reaches no sink.
//
// Several workers share a counter of the next entry to take, a slot per entry, and a gate that
// lets a starved entry run alone (solo_gate.hpp). A slot's outcome is written by its worker
// before the slot's completion flag is set, and read only after it is seen set. Two kinds of
// waiting, each with its own means: a worker about to hand over an entry waits on the flag of
// the earlier entry its path depends on (the plan's waits_for), so that index order decides;
// the calling thread waits for the next slot to tell on a condition of its own, with a time
// limit after which it tells the listener it is idle. No deadlock: an entry only ever waits for
// an earlier one, which a worker has already taken.

#include "archive/extract_entries.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "archive/growable_buffer.hpp"
#include "archive/solo_gate.hpp"

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

// How an entry waits for the earlier one its path depends on; waiting twice costs nothing.
class turn {
 public:
  virtual void wait() = 0;
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
  if (inflated.outcome == inflate_outcome::out_of_memory)
    return starved(describe_inflate_failure(inflated, entry.size));
  its_turn.wait();
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
  bool earlier_kept() const override { return earlier_kept_; }

 private:
  bool earlier_kept_;
};

void extract_in_order(const archive_file& archive, const entry_plan& plan, entry_sink& sink, entry_listener& listener,
                      stop_check stopped) {
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
  parallel_run(const archive_file& archive, const entry_plan& plan, entry_sink& sink, stop_check stopped)
      : archive_(archive), entries_(plan.entries), sink_(sink), stopped_(stopped), slots_(entries_.size()) {}

  void work() {
    worker_tools tools;
    for (std::size_t i = next_++; i < entries_.size(); i = next_++) {
      if (stopped_()) {
        // Every later slot is left undone; the calling thread stops telling at the first of them.
        next_ = entries_.size();
        break;
      }
      gate_.enter([&] { tools.release(); });
      worker_turn its_turn(*this, i);
      entry_outcome outcome = extract_guarded(archive_, entries_[i], tools, sink_, its_turn);
      gate_.leave();
      if (outcome.starved) {
        tools.release();
        its_turn.wait_idle();
        gate_.run_alone([&] { outcome = extract_guarded(archive_, entries_[i], tools, sink_, its_turn); });
      }
      finish(i, std::move(outcome));
    }
    const std::lock_guard<std::mutex> lock(tell_mutex_);
    ++workers_done_;
    told_.notify_one();
  }

  // Tells the listener of every entry in index order, each as soon as it is done. The listener
  // hears that nothing is ready only once the wait for the next entry has lasted a while, so
  // that entries finishing in quick succession cost no flush each. Entries no worker took
  // (after an interrupt) are not told.
  void tell(entry_listener& listener, std::size_t worker_count) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (wait_to_tell(i, listener, worker_count)) listener.entry_done(entries_[i], slots_[i].outcome);
    }
  }

 private:
  static constexpr std::size_t NONE = SIZE_MAX;
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
    worker_turn(parallel_run& run, std::size_t i) : run_(run), entry_(run.entries_[i]) {}

    void wait() override {
      if (waited_ || !entry_.waits_for || is_done(*entry_.waits_for)) {
        waited_ = true;
        return;
      }
      run_.gate_.leave();
      wait_idle();
      run_.gate_.enter([] {});
    }
    // Waits without counting as active, as a worker about to run alone must.
    void wait_idle() {
      if (entry_.waits_for) run_.slots_[*entry_.waits_for].done.wait(false);
      waited_ = true;
    }
    bool earlier_kept() const override { return entry_.same_file_as && run_.slots_[*entry_.same_file_as].kept; }

   private:
    bool is_done(std::size_t slot) const { return run_.slots_[slot].done.load(); }

    parallel_run& run_;
    const planned_entry& entry_;
    bool waited_ = false;
  };

  void finish(std::size_t i, entry_outcome outcome) {
    slot& finished = slots_[i];
    finished.kept = outcome.kept_existing;
    finished.outcome = std::move(outcome);
    finished.done.store(true);
    finished.done.notify_all();
    // Waking costs a system call: only when the calling thread waits for this very slot.
    if (awaited_.load() == i) {
      const std::lock_guard<std::mutex> lock(tell_mutex_);
      told_.notify_one();
    }
  }

  // Waits until slot i is done; false when it never will be (the workers stopped before it).
  bool wait_to_tell(std::size_t i, entry_listener& listener, std::size_t worker_count) {
    if (slots_[i].done.load()) return true;
    std::unique_lock<std::mutex> lock(tell_mutex_);
    awaited_.store(i);
    const auto ready = [&] { return slots_[i].done.load() || workers_done_ == worker_count; };
    if (!told_.wait_for(lock, IDLE_AFTER, ready)) {
      lock.unlock();
      listener.idle();
      lock.lock();
      told_.wait(lock, ready);
    }
    awaited_.store(NONE);
    return slots_[i].done.load();
  }

  const archive_file& archive_;
  const std::vector<planned_entry>& entries_;
  entry_sink& sink_;
  stop_check stopped_;
  std::vector<slot> slots_;  // one for each entry of the plan
  std::atomic<std::size_t> next_{0};
  solo_gate gate_;
  std::mutex tell_mutex_;  // guards the calling thread's wait and workers_done_
  std::condition_variable told_;
  std::atomic<std::size_t> awaited_{NONE};  // the slot the calling thread waits for
  std::size_t workers_done_ = 0;
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
                     unsigned jobs, stop_check stopped) {
  const auto workers_wanted = static_cast<unsigned>(std::min<std::size_t>(jobs, plan.entries.size()));
  if (workers_wanted <= 1) return extract_in_order(archive, plan, sink, listener, stopped);

  parallel_run run(archive, plan, sink, stopped);
  const std::vector<std::jthread> workers = start_workers(run, workers_wanted);
  if (workers.empty()) return extract_in_order(archive, plan, sink, listener, stopped);
  run.tell(listener, workers.size());
}

void tell_entries(const entry_plan& plan, entry_listener& listener) {
  for (const planned_entry& entry : plan.entries) listener.entry_done(entry, {entry.refusal});
}

}  // namespace darvex
