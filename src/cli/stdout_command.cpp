// -p: the selected entries' inflated bytes on standard output, in index order, and nothing else
// there. Workers inflate entries several at once, as extraction does, but each hands its bytes
// over only once every entry before it has been told of: the bytes leave in index order, and
// no more entries are held at once than there are workers.

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "cli/archive_command.hpp"
#include "cli/commands.hpp"
#include "platform/terminal.hpp"

namespace darvex {
namespace {

// Whose turn it is to hand over its bytes: the entry after the last one told.
class entry_turns {
 public:
  void learn_order(const entry_plan& plan) {
    positions_.clear();
    for (const planned_entry& entry : plan.entries) positions_.push_back(entry.position);
  }

  // Returns once every entry of the plan before `entry` has been told of: true; or once the
  // telling was cut short: false.
  bool wait_turn(const planned_entry& entry) {
    std::unique_lock<std::mutex> lock(mutex_);
    turn_.wait(lock, [&] { return cut_short_ || told_ == index_of(entry); });
    return !cut_short_;
  }

  void told(const planned_entry& entry) {
    const std::lock_guard<std::mutex> lock(mutex_);
    told_ = index_of(entry) + 1;
    turn_.notify_all();
  }

  // No later entry will be told: no turn is waited for any more.
  void cut_short() {
    const std::lock_guard<std::mutex> lock(mutex_);
    cut_short_ = true;
    turn_.notify_all();
  }

 private:
  // Positions grow along the plan.
  std::size_t index_of(const planned_entry& entry) const {
    return static_cast<std::size_t>(std::lower_bound(positions_.begin(), positions_.end(), entry.position) -
                                    positions_.begin());
  }

  std::vector<std::uint32_t> positions_;  // the plan's entries, in its order
  std::mutex mutex_;                      // guards told_ and cut_short_
  std::condition_variable turn_;
  std::size_t told_ = 0;  // how many entries of the plan have been told of
  bool cut_short_ = false;
};

// Standard output's sink: each entry's bytes, written in its turn. A failed write ends the
// writing; the run goes on, and the console hears of the failure at the end.
class stdout_sink final : public entry_sink {
 public:
  explicit stdout_sink(entry_turns& turns) : turns_(turns) {}

  entry_outcome take(const planned_entry& entry, const unsigned char* data, std::size_t length) override {
    if (!turns_.wait_turn(entry)) return {};
    // Turns order every write: the one before this finished before this entry's turn came.
    if (error_ == 0 && length > 0) error_ = platform::write_bytes(stdout, data, length);
    return {};
  }

  int error() const { return error_; }

 private:
  entry_turns& turns_;
  int error_ = 0;
};

// No line for an entry: standard output holds its bytes. Failures go to standard error.
class stdout_command final : public archive_command {
 public:
  stdout_command() : sink_(turns_) {}

  void planned(const entry_plan& plan) override { turns_.learn_order(plan); }
  entry_sink* sink() override { return &sink_; }
  void begin(console&) override {}
  void show(const planned_entry&, const entry_outcome&, console&) override {}
  void told(const planned_entry& entry) override { turns_.told(entry); }
  void cut_short() override { turns_.cut_short(); }
  void end(const entry_tally&, console& screen) override {
    if (sink_.error() != 0) screen.output_failed(sink_.error());
  }
  // Nothing may share a terminal with the bytes.
  terminal_report at_terminal(const console& screen) const override {
    if (screen.out_is_terminal()) return {};
    return {true, "written to standard output"};
  }

 private:
  entry_turns turns_;
  stdout_sink sink_;
};

}  // namespace

exit_status run_to_stdout(const options& chosen, const std::string& archive_path, console& screen) {
  platform::use_binary_output(stdout);
  stdout_command printing;
  return run_archive_command(printing, chosen, archive_path, screen);
}

}  // namespace darvex
