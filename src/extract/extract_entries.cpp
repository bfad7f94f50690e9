// Entry extraction. Each entry takes one positional read of its span, one inflate into room of
// its recorded size, and one hand-over of the bytes inflate produced. An entry is judged in the
// plan before anything is read for it; a refused or unreadable entry reaches no sink.
//
// With several workers, all they share with each other and with the calling thread is guarded
// by one mutex, and every wait is on one condition variable, notified whenever what it guards
// changes. A worker counts as running except while it waits. Three rules:
//
// - Told in index order. The calling thread tells the listener of each entry once it is done,
//   in index order; `told_` counts the entries told so far.
// - An entry's turn. An entry is handed to the sink (and, for a sink that decides in turn,
//   judged) only once every entry up to its plan's `waits_for`, the latest earlier entry whose
//   path touches its own, has been told; for a sink that takes entries in index order, once
//   every earlier entry has been. Since entries are told only when done, and in index order,
//   every earlier entry whose path touches this one's is then done: touching paths are written
//   in index order, whatever the number of workers and whatever the timing.
// - Alone after a shortage. An entry that failed for want of memory, descriptors or space is
//   tried once more when every earlier entry has been told and no other worker is running.
//   Once that is asked for, entries under way finish, but no worker takes a new entry, and
//   none that waits for its turn resumes, until the lone run is over. A worker that stops
//   before a new entry first gives back its buffers, inflater and writer (and with them the
//   folders it holds open); one that waits for its turn keeps its entry's.
//
// No deadlock: an entry only ever waits for earlier entries to be told, or for the workers of
// later ones to stop running, which they do once their entry is finished or at their next
// wait. The earliest entry not yet told has been taken, its turn has come and no lone run is
// asked for before it, so it runs.

#include "extract/extract_entries.hpp"

#include <algorithm>
#include <chrono>
#include <exception>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "format/growable_buffer.hpp"
#include "platform/waits.hpp"
#include "platform/worker_thread.hpp"

namespace darvex {
namespace {

// What one thread needs for entries of its own, each part made when first needed, so that a
// failure to make it is an entry's problem. The buffers are made for the plan's largest span and
// size, so that they are made and faulted in once.
struct worker_tools {
  explicit worker_tools(const entry_plan& plan)
      : largest_span(static_cast<std::size_t>(plan.largest_span)), largest_size(plan.largest_size) {}

  std::size_t largest_span;
  std::size_t largest_size;
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

// When an entry may be handed to the sink.
class turn {
 public:
  // Waits for the entry's turn; false when the run was abandoned and the entry must not be
  // handed over. Waiting again once it has come costs nothing.
  virtual bool wait() = 0;
  // Once the turn has come: whether the earlier entry of the same file kept what was there;
  // false when there is none.
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
    if (!its_turn.wait()) return {};
    earlier_kept = its_turn.earlier_kept();
  }
  if (auto decided = tools.writer->before_reading(entry, earlier_kept)) return std::move(*decided);
  const auto span_length = static_cast<std::size_t>(entry.span_length());
  unsigned char* span = tools.span.room(span_length, tools.largest_span);
  unsigned char* data = tools.data.room(entry.size, tools.largest_size);
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
  if (!its_turn.wait()) return {};
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

// One thread: every earlier entry is done and told before the next starts.
class in_order_turn final : public turn {
 public:
  explicit in_order_turn(bool earlier_kept) : earlier_kept_(earlier_kept) {}
  bool wait() override { return true; }
  bool earlier_kept() const override { return earlier_kept_; }

 private:
  bool earlier_kept_;
};

void extract_in_order(const archive_file& archive, const entry_plan& plan, entry_sink& sink, entry_listener& listener,
                      platform::stop_check stopped) {
  worker_tools tools(plan);
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

// What the workers and the calling thread share; the rules are at the top of this file.
class parallel_run {
 public:
  parallel_run(const archive_file& archive, const entry_plan& plan, entry_sink& sink, platform::stop_check stopped)
      : archive_(archive),
        plan_(plan),
        entries_(plan.entries),
        sink_(sink),
        stopped_(stopped),
        slots_(entries_.size()),
        lone_asked_(entries_.size()) {}

  // A worker's life: takes entries in index order until none is left or the run stops.
  void work() {
    worker_tools tools(plan_);
    std::unique_lock<platform::mutex> lock(mutex_);
    ++running_;
    for (;;) {
      if (first_lone_ask_ != NONE) {
        lock.unlock();
        tools.release();  // before this worker stops counting as running
        lock.lock();
      }
      const auto may_take = [&] { return abandoned_ || next_ == entries_.size() || first_lone_ask_ == NONE; };
      if (!may_take()) pause_until(lock, may_take);
      if (abandoned_ || next_ == entries_.size() || stopped_()) break;
      const std::size_t i = next_++;
      lock.unlock();
      entry_outcome outcome = extract_taken(i, tools);
      lock.lock();
      slots_[i].outcome = std::move(outcome);
      slots_[i].done = true;
      changed_.notify_all();
    }
    next_ = entries_.size();  // after a stop, the later entries are left undone, and not told
    --running_;
    ++workers_quit_;
    changed_.notify_all();
  }

  // Tells the listener of every entry in index order, each as soon as it is done. The listener
  // hears that nothing is ready only once the wait for the next entry has lasted a while, so
  // that entries finishing in quick succession cost no flush each, and again each while after
  // that, so that a progress line stays alive through a long entry. Entries no worker took
  // (after an interrupt) are not told.
  void tell(entry_listener& listener, std::size_t worker_count) {
    try {
      for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!wait_until_done(i, listener, worker_count)) return;
        listener.entry_done(entries_[i], slots_[i].outcome);  // a done slot is not written again
        const std::lock_guard<platform::mutex> lock(mutex_);
        told_ = i + 1;
        changed_.notify_all();
      }
    } catch (...) {
      abandon();  // no worker may wait for a turn that will not come
      throw;
    }
  }

 private:
  static constexpr std::chrono::milliseconds IDLE_AFTER{20};
  static constexpr std::size_t NONE = SIZE_MAX;

  struct slot {
    entry_outcome outcome;
    bool done = false;
  };

  // An entry's turn, by the rules above.
  class worker_turn final : public turn {
   public:
    worker_turn(parallel_run& run, std::size_t i) : run_(run), index_(i) {}

    // An entry whose turn has come goes on; one that must wait for it resumes only while no
    // lone run is asked for before it.
    bool wait() override {
      std::unique_lock<platform::mutex> lock(run_.mutex_);
      if (run_.abandoned_ || run_.told_ >= told_needed()) return !run_.abandoned_;
      run_.pause_until(lock,
                       [&] { return run_.abandoned_ || (run_.told_ >= told_needed() && !run_.lone_before(index_)); });
      return !run_.abandoned_;
    }
    bool earlier_kept() const override {
      const std::optional<std::size_t>& same = run_.entries_[index_].same_file_as;
      return same && run_.slots_[*same].outcome.kept_existing;  // told, and so done: see wait()
    }

   private:
    // How many entries must have been told for this one's turn to come.
    std::size_t told_needed() const {
      if (run_.sink_.in_index_order()) return index_;
      const std::optional<std::size_t>& latest_touching = run_.entries_[index_].waits_for;
      return latest_touching ? *latest_touching + 1 : 0;
    }

    parallel_run& run_;
    std::size_t index_;
  };

  // Runs entry i, and once more alone when it fell short of memory, descriptors or space.
  entry_outcome extract_taken(std::size_t i, worker_tools& tools) {
    worker_turn its_turn(*this, i);
    entry_outcome outcome = extract_guarded(archive_, entries_[i], tools, sink_, its_turn);
    if (!outcome.starved) return outcome;
    tools.release();
    std::unique_lock<platform::mutex> lock(mutex_);
    ask_lone_run(i);
    pause_until(lock, [&] { return abandoned_ || (told_ >= i && running_ == 0); });
    if (!abandoned_) {
      lock.unlock();
      outcome = extract_guarded(archive_, entries_[i], tools, sink_, its_turn);
      lock.lock();
    }
    end_lone_run(i);
    changed_.notify_all();
    return outcome;
  }

  // Whether a lone run is asked for an entry before entry i.
  bool lone_before(std::size_t i) const { return first_lone_ask_ < i; }

  // The asks live in room made when the run began: a worker that ran short of memory must not
  // need more to ask.
  void ask_lone_run(std::size_t i) {
    lone_asked_[i] = true;
    first_lone_ask_ = std::min(first_lone_ask_, i);
  }
  void end_lone_run(std::size_t i) {
    lone_asked_[i] = false;
    if (first_lone_ask_ != i) return;
    first_lone_ask_ = NONE;
    for (std::size_t later = i + 1; later < next_; ++later) {
      if (lone_asked_[later]) {
        first_lone_ask_ = later;
        break;
      }
    }
  }

  // Waits, not counting as running, until `ready()` holds.
  template <typename condition>
  void pause_until(std::unique_lock<platform::mutex>& lock, condition&& ready) {
    --running_;
    changed_.notify_all();  // a lone run may wait for this
    changed_.wait(lock, ready);
    ++running_;
  }

  // Waits until entry i is done, telling the listener it is idle every while; false when it
  // never will be (the workers stopped before it).
  bool wait_until_done(std::size_t i, entry_listener& listener, std::size_t worker_count) {
    std::unique_lock<platform::mutex> lock(mutex_);
    const auto ready = [&] { return slots_[i].done || workers_quit_ == worker_count; };
    while (!changed_.wait_for(lock, IDLE_AFTER, ready)) {
      lock.unlock();
      listener.idle();
      lock.lock();
    }
    return slots_[i].done;
  }

  void abandon() {
    const std::lock_guard<platform::mutex> lock(mutex_);
    abandoned_ = true;
    changed_.notify_all();
  }

  const archive_file& archive_;
  const entry_plan& plan_;
  const std::vector<planned_entry>& entries_;
  entry_sink& sink_;
  platform::stop_check stopped_;

  platform::mutex mutex_;              // guards every member below
  platform::condition changed_;        // notified whenever one of them changes
  std::vector<slot> slots_;            // one for each entry of the plan
  std::size_t next_ = 0;               // the next entry to take
  std::size_t told_ = 0;               // how many of the first entries were told
  std::size_t running_ = 0;            // workers not waiting
  std::size_t workers_quit_ = 0;       // workers that took their last entry
  std::vector<bool> lone_asked_;       // by entry: waiting to run alone, or running alone
  std::size_t first_lone_ask_ = NONE;  // the earliest of those
  bool abandoned_ = false;             // the telling failed: nothing more is handed over
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

unsigned default_jobs() {
  constexpr unsigned DEFAULT_JOBS_LIMIT = 16;
  return std::clamp(std::thread::hardware_concurrency(), 1u, DEFAULT_JOBS_LIMIT);
}

void tell_entries(const entry_plan& plan, entry_listener& listener) {
  for (const planned_entry& entry : plan.entries) listener.entry_done(entry, {entry.refusal});
}

}  // namespace darvex
