#include "cli/archive_command.hpp"
#include "cli/commands.hpp"
#include "cli/json_report.hpp"

namespace darvex {
namespace {

// Testing's sink: the entry was inflated exactly as extraction would; nothing is kept.
class discard_sink final : public entry_sink {
 public:
  std::unique_ptr<entry_writer> writer() override { return std::make_unique<discarder>(); }
  bool decides_in_turn() const override { return false; }

 private:
  class discarder final : public entry_writer {
   public:
    std::optional<entry_outcome> before_reading(const planned_entry&, bool) override { return std::nullopt; }
    entry_outcome take(const planned_entry&, const unsigned char*, std::size_t) override { return {}; }
  };
};

// Each selected entry inflated in memory: "OK" or "FAILED" before its name, then a verdict.
class test_command final : public archive_command {
 public:
  explicit test_command(const std::string& archive_path) : archive_path_(archive_path) {}

  entry_sink* sink() override { return &nowhere_; }

  void begin(console& screen) override { print_archive_line(screen, archive_path_); }

  void show(const planned_entry& entry, const entry_outcome& outcome, console& screen) override {
    screen.print(outcome.failure ? "FAILED  " : "OK      ");
    screen.print_name(entry.name);
    screen.print("\n");
  }

  // Its last line sums the run up already.
  terminal_report at_terminal(const console&) const override { return {true, nullptr}; }

  void end(const entry_tally& tally, console& screen) override {
    const std::string tested = std::to_string(tally.entries) + (tally.entries == 1 ? " entry" : " entries");
    const std::string verdict = tally.failures == 0 ? "all OK" : std::to_string(tally.failures) + " failed";
    screen.print(tested + " tested: " + verdict + "\n");
  }

 private:
  const std::string& archive_path_;
  discard_sink nowhere_;
};

}  // namespace

exit_status run_test(const options& chosen, const std::string& archive_path, console& screen) {
  test_command test(archive_path);
  return run_with_chosen_report(test, chosen, archive_path, screen);
}

}  // namespace darvex
