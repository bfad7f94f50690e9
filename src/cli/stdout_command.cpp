// -p: the selected entries' inflated bytes on standard output, in index order, and nothing else
// there. Workers inflate entries several at once, as extraction does, but each hands its bytes
// over only once every entry before it has been told of (the sink asks for index order): the
// bytes leave in index order, after the messages of the entries before them, and no more
// entries are held at once than there are workers.

#include <cstdio>

#include "cli/archive_command.hpp"
#include "cli/commands.hpp"
#include "platform/terminal.hpp"

namespace darvex {
namespace {

// Standard output's sink: each entry's bytes, written in its turn. A failed write ends the
// writing; the run goes on, and the console hears of the failure at the end. The turns order
// every write, and so every use of the error they share.
class stdout_sink final : public entry_sink {
 public:
  std::unique_ptr<entry_writer> writer() override { return std::make_unique<stdout_writer>(error_); }
  bool decides_in_turn() const override { return false; }
  bool in_index_order() const override { return true; }

  int error() const { return error_; }

 private:
  class stdout_writer final : public entry_writer {
   public:
    explicit stdout_writer(int& error) : error_(error) {}
    std::optional<entry_outcome> before_reading(const planned_entry&, bool) override { return std::nullopt; }
    entry_outcome take(const planned_entry&, const unsigned char* data, std::size_t length) override {
      if (error_ == 0 && length > 0) error_ = platform::write_bytes(stdout, data, length);
      return {};
    }

   private:
    int& error_;
  };

  int error_ = 0;
};

// No line for an entry: standard output holds its bytes. Failures go to standard error.
class stdout_command final : public archive_command {
 public:
  entry_sink* sink() override { return &sink_; }
  void begin(console&) override {}
  void show(const planned_entry&, const entry_outcome&, console&) override {}
  void end(const entry_tally&, console& screen) override {
    if (sink_.error() != 0) screen.output_failed(sink_.error());
  }
  // Nothing may share a terminal with the bytes.
  terminal_report at_terminal(const console& screen) const override {
    if (screen.out_is_terminal()) return {};
    return {true, "written to standard output"};
  }

 private:
  stdout_sink sink_;
};

}  // namespace

exit_status run_to_stdout(const options& chosen, const std::string& archive_path, console& screen) {
  platform::use_binary_output(stdout);
  stdout_command printing;
  return run_archive_command(printing, chosen, archive_path, screen);
}

}  // namespace darvex
