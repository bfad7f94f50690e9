// The extraction engine against a scripted sink: the test decides which entry's hand-over
// holds on until another entry's has begun, which runs short of space, and what the listener
// does, so that ordering, lone runs and stops are tested in milliseconds at every job count,
// with no file written.

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "archive_writer.hpp"
#include "extract/extract_entries.hpp"
#include "scratch.hpp"

namespace darvex {
namespace {

using namespace std::chrono_literals;
using test_support::entry;
using test_support::test_archive;

// What the sink does, by entry position (counted from 1).
struct script {
  std::map<std::uint32_t, std::uint32_t> holds_until_begun;  // entry -> the entry whose hand-over it waits for
  std::map<std::uint32_t, int> runs_short;                   // entry -> how many of its tries run short of space
  std::set<std::uint32_t> kept;                              // entries whose file the sink keeps
  bool decides_in_turn = false;
  bool in_index_order = false;
};

// Hears each entry, and throws at one when told to.
class recording_listener final : public entry_listener {
 public:
  void entry_done(const planned_entry& entry, const entry_outcome& outcome) override {
    if (entry.position == throw_at) throw std::runtime_error("the listener failed");
    heard.push_back(entry.position);
    if (outcome.failure) failed.push_back(entry.position);
    told.store(heard.size());
  }
  void idle() override {}

  std::vector<std::uint32_t> heard;
  std::vector<std::uint32_t> failed;
  std::atomic<std::size_t> told{0};
  std::uint32_t throw_at = 0;
};

// One hand-over beginning or ending, as the sink saw it.
struct event {
  bool begins;
  std::uint32_t position;
  int others_in_flight;  // at a beginning: hand-overs already under way
  std::size_t told;      // at a beginning: entries the listener had heard of
};

class scripted_sink final : public entry_sink {
 public:
  scripted_sink(const script& plan, const recording_listener& listener) : script_(plan), listener_(listener) {}

  std::unique_ptr<entry_writer> writer() override { return std::make_unique<writer_of>(*this); }
  bool decides_in_turn() const override { return script_.decides_in_turn; }
  bool in_index_order() const override { return script_.in_index_order; }

  std::vector<event> events;                   // every beginning and end, in order
  std::map<std::uint32_t, bool> earlier_kept;  // what before_reading heard
  std::vector<std::string> faults;             // holds that waited in vain

 private:
  class writer_of final : public entry_writer {
   public:
    explicit writer_of(scripted_sink& sink) : sink_(sink) {}
    std::optional<entry_outcome> before_reading(const planned_entry& entry, bool earlier_kept) override {
      const std::lock_guard<std::mutex> lock(sink_.mutex_);
      sink_.earlier_kept[entry.position] = earlier_kept;
      return std::nullopt;
    }
    entry_outcome take(const planned_entry& entry, const unsigned char*, std::size_t) override {
      return sink_.take(entry.position);
    }

   private:
    scripted_sink& sink_;
  };

  entry_outcome take(std::uint32_t position) {
    std::unique_lock<std::mutex> lock(mutex_);
    events.push_back({true, position, in_flight_, listener_.told.load()});
    ++in_flight_;
    changed_.notify_all();
    if (const auto hold = script_.holds_until_begun.find(position); hold != script_.holds_until_begun.end()) {
      const auto begun = [&] {
        for (const event& e : events) {
          if (e.begins && e.position == hold->second) return true;
        }
        return false;
      };
      if (!changed_.wait_for(lock, 3s, begun)) {
        faults.push_back(std::to_string(position) + " held on in vain for " + std::to_string(hold->second));
      }
    }
    --in_flight_;
    events.push_back({false, position, 0, 0});
    entry_outcome outcome;
    const auto short_tries = script_.runs_short.find(position);
    if (short_tries != script_.runs_short.end() && tries_[position]++ < short_tries->second) {
      outcome.failure = problem{problem_kind::unwritten_entry, {}, "cannot write", ENOSPC};
      outcome.starved = true;
    }
    outcome.kept_existing = script_.kept.count(position) > 0;
    return outcome;
  }

  const script& script_;
  const recording_listener& listener_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int in_flight_ = 0;
  std::map<std::uint32_t, int> tries_;
};

std::vector<std::uint32_t> one_to(std::uint32_t count) {
  std::vector<std::uint32_t> positions;
  for (std::uint32_t i = 1; i <= count; ++i) positions.push_back(i);
  return positions;
}

// An archive of small entries of the given names, opened and planned, and runs of its plan.
class ExtractEntries : public ::testing::Test {
 protected:
  void plan(const std::vector<std::string>& names) {
    test_archive archive;
    for (const std::string& name : names) {
      const bool folder = name.back() == '\\' || name.back() == '/';  // a folder entry holds no data
      archive.entries.push_back(entry(name, folder ? "" : "bytes of " + name));
    }
    archive.write_to((dir_ / "file.dat").string());
    ASSERT_FALSE(archive_.open((dir_ / "file.dat").string()));
    inflater inflate;
    loaded_index index;
    ASSERT_FALSE(load_index(archive_, inflate, index));
    const std::unique_ptr<entry_table> table(new entry_table);
    std::uint32_t count = 0;
    ASSERT_FALSE(read_entry_table(archive_, index, *table, count));
    plan_ = plan_entries(*table, count, index.index_offset);
  }

  // Runs the plan with `jobs` workers into a sink that follows `what`.
  void run(const script& what, unsigned jobs, platform::stop_check stopped = platform::never_stop) {
    listener_ = std::make_unique<recording_listener>();
    sink_ = std::make_unique<scripted_sink>(what, *listener_);
    extract_entries(archive_, plan_, *sink_, *listener_, jobs, stopped);
    for (const std::string& fault : sink_->faults) ADD_FAILURE() << fault;
  }

  // Where in the events the n-th (from 0) beginning or end of entry `position` stands; the
  // number of events when there is none.
  std::size_t at(bool begins, std::uint32_t position, std::size_t n = 0) const {
    for (std::size_t i = 0; i < sink_->events.size(); ++i) {
      const event& e = sink_->events[i];
      if (e.begins == begins && e.position == position && n-- == 0) return i;
    }
    return sink_->events.size();
  }
  std::size_t last_end(std::uint32_t position) const {
    std::size_t last = sink_->events.size();
    for (std::size_t i = 0; i < sink_->events.size(); ++i) {
      if (!sink_->events[i].begins && sink_->events[i].position == position) last = i;
    }
    return last;
  }
  std::size_t begins_of(std::uint32_t position) const {
    std::size_t count = 0;
    for (const event& e : sink_->events) count += e.begins && e.position == position;
    return count;
  }

  test_support::scratch_dir dir_;
  archive_file archive_;
  entry_plan plan_;
  std::unique_ptr<recording_listener> listener_;
  std::unique_ptr<scripted_sink> sink_;
};

// The first entry's hand-over holds on until the second's has begun, so that with several
// workers later entries are handed over while it is still under way; yet of every pair of
// entries whose paths touch, the earlier is done before the later begins.
TEST_F(ExtractEntries, TouchingPathsReachTheSinkInIndexOrderWhateverTheTiming) {
  const struct {
    std::vector<std::string> names;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> touching;
  } cases[] = {
      // Entry 4 touches entry 1 (one file) and entry 3 (its folder); entry 3 touches 1 and 2.
      {{"a\\b", "a\\c\\x", "a", "a\\b"}, {{1, 3}, {1, 4}, {2, 3}, {3, 4}}},
      {{"d\\f", "d\\g\\x", "d", "d\\f\\z"}, {{1, 3}, {1, 4}, {2, 3}, {3, 4}}},
      {{"x.txt", "y", "./x.txt", "y/z"}, {{1, 3}, {2, 4}}},
      {{"a\\", "b", "a\\b\\c", "a\\b\\", "a"}, {{1, 3}, {1, 4}, {1, 5}, {3, 4}, {3, 5}, {4, 5}}},
  };
  for (const auto& c : cases) {
    plan(c.names);
    for (const unsigned jobs : {1u, 2u, 4u, 8u}) {
      SCOPED_TRACE(c.names[0] + ", -j " + std::to_string(jobs));
      script held;
      if (jobs > 1) held.holds_until_begun = {{1, 2}};
      run(held, jobs);
      EXPECT_EQ(listener_->heard, one_to(static_cast<std::uint32_t>(c.names.size())));
      for (const auto& [earlier, later] : c.touching) {
        EXPECT_LT(at(false, earlier), at(true, later)) << earlier << " is done before " << later << " begins";
      }
    }
  }
}

TEST_F(ExtractEntries, PathsThatDoNotTouchAreHandedOverWhileEarlierOnesAreUnderWay) {
  plan({"x", "y", "z", "sub\\x", "sub\\y"});
  for (const unsigned jobs : {2u, 4u}) {
    SCOPED_TRACE(jobs);
    script held;
    held.holds_until_begun = {{1, 3}, {4, 5}};  // a hold in vain would be a fault
    run(held, jobs);
    EXPECT_EQ(listener_->heard, one_to(5)) << "told in index order all the same";
  }
}

TEST_F(ExtractEntries, ASinkInIndexOrderHasEachEntryOnceEveryEarlierOneIsTold) {
  plan({"a", "b", "c", "d", "e", "f", "g"});
  for (const unsigned jobs : {1u, 3u, 8u}) {
    SCOPED_TRACE(jobs);
    script in_order;
    in_order.in_index_order = true;
    run(in_order, jobs);
    for (std::uint32_t position = 1; position <= 7; ++position) {
      const event& begun = sink_->events[at(true, position)];
      EXPECT_EQ(begun.told, position - 1) << position;
      EXPECT_EQ(begun.others_in_flight, 0) << position;
    }
  }
}

// Entry 3 runs short once: with several workers it runs again once the entries before it are
// told and nothing else is under way, and then succeeds; alone from the start (-j 1) the
// shortage was its own, and stands. Short twice, it fails at every job count.
TEST_F(ExtractEntries, AnEntryShortOfSpaceRunsAgainAloneOnceTheEarlierOnesAreTold) {
  plan({"e1", "e2", "e3", "e4", "e5", "e6", "e7", "e8"});
  for (const int shortages : {1, 2}) {
    for (const unsigned jobs : {1u, 2u, 4u, 8u}) {
      SCOPED_TRACE("short " + std::to_string(shortages) + " times, -j " + std::to_string(jobs));
      script short_of_space;
      short_of_space.runs_short = {{3, shortages}};
      run(short_of_space, jobs);
      EXPECT_EQ(listener_->heard, one_to(8));
      const bool fails = jobs == 1 || shortages == 2;
      EXPECT_EQ(listener_->failed, fails ? std::vector<std::uint32_t>{3} : std::vector<std::uint32_t>{});
      if (jobs == 1) {
        EXPECT_EQ(begins_of(3), 1u) << "one worker has nothing to wait for";
        continue;
      }
      ASSERT_EQ(begins_of(3), 2u);
      const event& again = sink_->events[at(true, 3, 1)];
      EXPECT_EQ(again.others_in_flight, 0);
      EXPECT_GE(again.told, 2u) << "entries 1 and 2 are told before the lone run";
    }
  }
}

TEST_F(ExtractEntries, ALaterEntryOfTheSamePathWaitsForTheLoneRun) {
  plan({"a", "b", "a", "c"});
  for (const unsigned jobs : {2u, 4u}) {
    SCOPED_TRACE(jobs);
    script short_of_space;
    short_of_space.runs_short = {{1, 1}};
    run(short_of_space, jobs);
    ASSERT_EQ(begins_of(1), 2u);
    EXPECT_LT(last_end(1), at(true, 3));
    EXPECT_TRUE(listener_->failed.empty());
  }
}

TEST_F(ExtractEntries, ASinkThatDecidesInTurnHearsWhetherTheEarlierEntryOfItsFileWasKept) {
  plan({"same", "other", "same", "same"});
  for (const unsigned jobs : {1u, 2u, 4u}) {
    SCOPED_TRACE(jobs);
    script keeping;
    keeping.decides_in_turn = true;
    keeping.kept = {1};
    run(keeping, jobs);
    EXPECT_FALSE(sink_->earlier_kept[1]);
    EXPECT_TRUE(sink_->earlier_kept[3]) << "entry 1 kept what was there";
    EXPECT_FALSE(sink_->earlier_kept[4]) << "entry 3 did not";
  }
}

std::atomic<int> checks_left{0};
bool stop_after_checks() { return checks_left.fetch_sub(1) <= 0; }

TEST_F(ExtractEntries, AStopTellsTheEntriesTakenAndNoOther) {
  plan({"e1", "e2", "e3", "e4", "e5", "e6", "e7", "e8", "e9", "e10"});
  for (const unsigned jobs : {1u, 3u}) {
    SCOPED_TRACE(jobs);
    checks_left = 4;
    run({}, jobs, stop_after_checks);
    EXPECT_EQ(listener_->heard, one_to(static_cast<std::uint32_t>(listener_->heard.size())));
    EXPECT_LT(listener_->heard.size(), 10u);
    EXPECT_EQ(sink_->events.size(), 2 * listener_->heard.size()) << "every entry handed over is told";
  }
}

TEST_F(ExtractEntries, AListenerThatFailsEndsTheRunAndNothingWaitsForIt) {
  plan({"e1", "e2", "e3", "e4", "e5", "e6", "e7", "e8"});
  for (const unsigned jobs : {1u, 4u}) {
    SCOPED_TRACE(jobs);
    listener_ = std::make_unique<recording_listener>();
    listener_->throw_at = 3;
    script in_order;
    in_order.in_index_order = true;
    sink_ = std::make_unique<scripted_sink>(in_order, *listener_);
    EXPECT_THROW(extract_entries(archive_, plan_, *sink_, *listener_, jobs), std::runtime_error);
    EXPECT_EQ(listener_->heard, one_to(2));
    EXPECT_EQ(at(true, 4), sink_->events.size()) << "no entry after the failed telling is handed over";
  }
}

}  // namespace
}  // namespace darvex
