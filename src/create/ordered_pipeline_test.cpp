#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "create/ordered_pipeline.hpp"
#include "platform/process.hpp"

namespace darvex {
namespace {

TEST(OrderedPipeline, TakesEveryItemOnceInOrderWhateverTheJobsAndStopsWhenTold) {
  for (const unsigned jobs : {1u, 2u, 5u}) {
    std::vector<std::size_t> taken;
    const bool whole = run_in_order<std::size_t>(
        200, jobs, [] { return [](std::size_t i, std::size_t& made) { made = i * i; }; },
        [&](std::size_t i, std::size_t& made) {
          EXPECT_EQ(made, i * i);
          taken.push_back(i);
          return true;
        },
        [](std::size_t) { return std::size_t{1}; }, 3, platform::never_stop);
    EXPECT_TRUE(whole);
    ASSERT_EQ(taken.size(), 200u) << jobs;
    for (std::size_t i = 0; i < taken.size(); ++i) EXPECT_EQ(taken[i], i);

    std::size_t count = 0;
    EXPECT_FALSE(run_in_order<std::size_t>(
        200, jobs, [] { return [](std::size_t, std::size_t&) {}; },
        [&](std::size_t, std::size_t&) { return ++count < 10; }, [](std::size_t) { return std::size_t{1}; }, 3,
        platform::never_stop));
    EXPECT_EQ(count, 10u) << jobs;
  }
}

// While the taker dawdles, the workers run ahead only as far as the budget lets them: the items
// made and not yet taken never weigh more than the budget (less one), one item a worker and the
// one being taken.
TEST(OrderedPipeline, WorkersRunAheadOfASlowTakerOnlyAsFarAsTheBudget) {
  const struct {
    unsigned jobs;
    std::size_t weight;
    std::size_t budget;
  } cases[] = {{4, 1, 3}, {3, 5, 12}, {2, 10, 10}};
  for (const auto& c : cases) {
    std::mutex mutex;
    std::size_t waiting = 0;
    std::size_t most_waiting = 0;
    const bool whole = run_in_order<std::size_t>(
        200, c.jobs,
        [&] {
          return [&](std::size_t, std::size_t& made) {
            made = c.weight;
            const std::lock_guard<std::mutex> lock(mutex);
            waiting += c.weight;
            most_waiting = std::max(most_waiting, waiting);
          };
        },
        [&](std::size_t i, std::size_t& made) {
          if (i == 0) {
            // Until the workers have filled the budget; then a while, in which they would run on
            // past it were it not kept.
            const auto filled = [&] {
              const std::lock_guard<std::mutex> lock(mutex);
              return waiting >= c.budget;
            };
            for (int tick = 0; tick < 2000 && !filled(); ++tick)
              std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
          const std::lock_guard<std::mutex> lock(mutex);
          waiting -= made;
          return true;
        },
        [](std::size_t made) { return made; }, c.budget, platform::never_stop);
    EXPECT_TRUE(whole);
    EXPECT_LE(most_waiting, c.budget - 1 + (c.jobs + 1) * c.weight) << c.jobs << " jobs, budget " << c.budget;
    EXPECT_GE(most_waiting, c.budget) << "the workers ran ahead while the taker waited";
  }
}

// A worker thread that the system makes only while tickets are left, as it stops making threads
// when it runs out of them or of room for their stacks.
std::atomic<unsigned> tickets{0};

std::function<void()> with_ticket(std::function<void()> body) {
  if (tickets == 0) throw std::system_error(EAGAIN, std::generic_category(), "no thread");
  --tickets;
  return body;
}

class rationed_thread {
 public:
  explicit rationed_thread(std::function<void()> body) : thread_(with_ticket(std::move(body))) {}

 private:
  platform::worker_thread thread_;
};

// Runs 200 items with `jobs` workers asked for and a budget of 3, `new_maker` making the makers
// (each squares its item); whether every item was taken once, in order, squared.
template <typename thread_type, typename maker_factory>
bool takes_all_in_order(unsigned jobs, maker_factory&& new_maker) {
  std::vector<std::size_t> taken;
  const bool whole = run_in_order<std::size_t, thread_type>(
      200, jobs, new_maker,
      [&](std::size_t i, std::size_t& made) {
        EXPECT_EQ(made, i * i);
        taken.push_back(i);
        return true;
      },
      [](std::size_t) { return std::size_t{1}; }, 3, platform::never_stop);
  bool in_order = taken.size() == 200;
  for (std::size_t i = 0; in_order && i < taken.size(); ++i) in_order = taken[i] == i;
  return whole && in_order;
}

const auto square = [](std::size_t i, std::size_t& made) { made = i * i; };

TEST(OrderedPipeline, FewerThreadsThanAskedForMakeEveryItem) {
  const struct {
    unsigned jobs;
    unsigned threads_made;
    unsigned makers;  // one a worker, or the calling thread's own when no worker started
  } cases[] = {{2, 0, 1}, {2, 1, 1}, {5, 0, 1}, {5, 1, 1}, {5, 2, 2}, {5, 4, 4}, {5, 9, 5}};
  for (const auto& c : cases) {
    tickets = c.threads_made;
    std::atomic<unsigned> makers{0};
    EXPECT_TRUE(takes_all_in_order<rationed_thread>(c.jobs,
                                                    [&] {
                                                      ++makers;
                                                      return square;
                                                    }))
        << c.jobs << " jobs, " << c.threads_made << " threads";
    EXPECT_EQ(makers, c.makers) << c.jobs << " jobs, " << c.threads_made << " threads";
  }
}

TEST(OrderedPipeline, WorkersWithoutAMakerLeaveTheWorkToTheOthersOrToTheCallingThread) {
  for (const unsigned failing : {1u, 3u, 4u}) {
    std::atomic<unsigned> asked{0};
    EXPECT_TRUE(takes_all_in_order<platform::worker_thread>(4,
                                                            [&] {
                                                              if (++asked <= failing) throw std::bad_alloc();
                                                              return square;
                                                            }))
        << failing << " of 4 workers without a maker";
  }
}

TEST(OrderedPipeline, AnExceptionFromTakeLeavesOnceTheWorkersAreGone) {
  // A budget of one item keeps the workers waiting for the taker: they must be told to go.
  for (const unsigned jobs : {2u, 5u}) {
    std::atomic<std::size_t> made_count{0};
    EXPECT_THROW(run_in_order<std::size_t>(
                     200, jobs, [&] { return [&](std::size_t, std::size_t&) { ++made_count; }; },
                     [](std::size_t i, std::size_t&) {
                       if (i == 5) throw std::runtime_error("cannot take");
                       return true;
                     },
                     [](std::size_t) { return std::size_t{1}; }, 1, platform::never_stop),
                 std::runtime_error);
    EXPECT_LT(made_count, 200u) << jobs;  // the workers stopped soon after
  }
}

}  // namespace
}  // namespace darvex
