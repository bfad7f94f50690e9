// --diff OLD NEW: two archives compared entry by entry, by stored name and inflated bytes. Each
// is read through the reader and its entries through extraction's engine: OLD's entries are
// inflated for their sizes and CRC-32s, then NEW's, each held against the OLD entry of its name
// (the first of a name against the first, the second against the second) and, where size and
// CRC agree, against that entry's bytes inflated again, so that "the same" means byte for byte.

#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "cli/archive_command.hpp"
#include "cli/commands.hpp"
#include "cli/diff_report.hpp"
#include "format/deflate.hpp"
#include "format/growable_buffer.hpp"
#include "platform/process.hpp"

namespace darvex {
namespace {

// What each entry of one archive inflated to, by its place in the plan. A worker writes an
// entry's print before it is told, the listener after.
class entry_prints {
 public:
  explicit entry_prints(const entry_plan& plan) : prints_(plan.entries.size()) {
    for (std::size_t i = 0; i < plan.entries.size(); ++i) at_position_[plan.entries[i].position] = i;
  }

  // Where `entry` lies in its plan.
  std::size_t place(const planned_entry& entry) const { return at_position_.at(entry.position); }
  entry_print& of(const planned_entry& entry) { return prints_[place(entry)]; }
  const std::vector<entry_print>& all() const { return prints_; }

 private:
  std::vector<entry_print> prints_;
  std::unordered_map<std::uint32_t, std::size_t> at_position_;
};

// By NEW's place in its plan: the OLD entry of the same name and rank, if any.
std::vector<std::optional<std::size_t>> pair_by_name(const entry_plan& old_plan, const entry_plan& new_plan) {
  std::unordered_map<std::string, std::vector<std::size_t>> old_of_name;
  for (std::size_t i = old_plan.entries.size(); i-- > 0;) old_of_name[old_plan.entries[i].name].push_back(i);
  std::vector<std::optional<std::size_t>> pairs(new_plan.entries.size());
  for (std::size_t j = 0; j < new_plan.entries.size(); ++j) {
    std::vector<std::size_t>& left = old_of_name[new_plan.entries[j].name];
    if (left.empty()) continue;
    pairs[j] = left.back();
    left.pop_back();
  }
  return pairs;
}

// A sink that keeps each entry's size and CRC-32 and, for NEW, whether it holds the bytes of its
// OLD entry. Every worker has its own buffers and inflater for OLD's bytes.
class print_sink final : public entry_sink {
 public:
  // OLD's pass: `old` is nullptr.
  struct old_side {
    const loaded_archive& archive;
    const std::vector<entry_print>& prints;
    const std::vector<std::optional<std::size_t>>& pairs;  // by NEW's place
  };

  print_sink(entry_prints& prints, const old_side* old) : prints_(prints), old_(old) {}

  std::unique_ptr<entry_writer> writer() override { return std::make_unique<printer>(*this); }
  bool decides_in_turn() const override { return false; }

 private:
  class printer final : public entry_writer {
   public:
    explicit printer(print_sink& sink) : sink_(sink) {}

    std::optional<entry_outcome> before_reading(const planned_entry&, bool) override { return std::nullopt; }

    entry_outcome take(const planned_entry& entry, const unsigned char* data, std::size_t length) override {
      entry_print& print = sink_.prints_.of(entry);
      print.size = length;
      print.crc = crc32_of(data, length);
      if (sink_.old_ != nullptr) print.same = holds_old_bytes(sink_.prints_.place(entry), print, data);
      return {};
    }

   private:
    // Whether the OLD entry paired with NEW's entry at `place` inflates completely to the same bytes.
    bool holds_old_bytes(std::size_t place, const entry_print& print, const unsigned char* data) {
      const print_sink::old_side& old = *sink_.old_;
      const std::optional<std::size_t> paired = old.pairs.at(place);
      if (!paired) return false;
      const entry_print& before = old.prints[*paired];
      if (!before.inflated || before.size != print.size || before.crc != print.crc) return false;
      const planned_entry& old_entry = old.archive.plan.entries[*paired];
      const auto span_length = static_cast<std::size_t>(old_entry.span_length());
      unsigned char* span = span_.room(span_length);
      unsigned char* bytes = bytes_.room(old_entry.size);
      if ((span == nullptr && span_length > 0) || (bytes == nullptr && old_entry.size > 0)) throw std::bad_alloc();
      if (old.archive.archive.read(old_entry.start, span, span_length)) return false;
      const inflate_result inflated = inflate_.inflate(bytes, old_entry.size, span, span_length);
      if (inflated.outcome == inflate_outcome::out_of_memory) throw std::bad_alloc();
      return inflated.outcome == inflate_outcome::complete && inflated.produced == print.size &&
             (print.size == 0 || std::memcmp(bytes, data, print.size) == 0);
    }

    print_sink& sink_;
    growable_buffer span_;
    growable_buffer bytes_;
    inflater inflate_;
  };

  entry_prints& prints_;
  const old_side* old_;
};

// Notes which entries inflated completely, and reports those that did not, naming their archive.
class print_listener final : public entry_listener {
 public:
  print_listener(entry_prints& prints, const std::string& archive_path, console& screen)
      : prints_(prints), archive_path_(archive_path), screen_(screen) {}

  void entry_done(const planned_entry& entry, const entry_outcome& outcome) override {
    entry_print& print = prints_.of(entry);
    print.inflated = !outcome.failure;
    if (!outcome.failure) return;
    print.failure = outcome.failure;
    screen_.name_entries_archive(archive_path_);
    screen_.report(entry, *outcome.failure);
  }
  void idle() override { screen_.flush(); }

 private:
  entry_prints& prints_;
  const std::string& archive_path_;
  console& screen_;
};

// Every entry of `loaded` inflated into `prints`, and for NEW held against OLD.
void print_entries(const loaded_archive& loaded, const std::string& path, entry_prints& prints,
                   const print_sink::old_side* old, const options& chosen, console& screen) {
  print_sink sink(prints, old);
  print_listener listener(prints, path, screen);
  extract_entries(loaded.archive, loaded.plan, sink, listener, jobs_to_use(chosen), platform::interrupted);
}

}  // namespace

exit_status run_diff(const options& chosen, console& screen) {
  const std::string& old_path = chosen.archives[0];
  const std::string& new_path = chosen.archives[1];
  const entry_selection selection{chosen.includes, chosen.excludes, 0};
  loaded_archive old_archive;
  loaded_archive new_archive;
  for (auto [path, loaded] : {std::pair{&old_path, &old_archive}, std::pair{&new_path, &new_archive}}) {
    if (auto failure = load_archive(*path, selection, *loaded)) {
      screen.report(*failure);
      return status_for(failure->kind);
    }
  }
  entry_prints old_prints(old_archive.plan);
  print_entries(old_archive, old_path, old_prints, nullptr, chosen, screen);
  const std::vector<std::optional<std::size_t>> pairs = pair_by_name(old_archive.plan, new_archive.plan);
  entry_prints new_prints(new_archive.plan);
  const print_sink::old_side old{old_archive, old_prints.all(), pairs};
  if (!platform::interrupted()) print_entries(new_archive, new_path, new_prints, &old, chosen, screen);
  if (platform::interrupted()) return exit_status::ok;  // the front end says so
  const archive_prints compared{old_path,         new_path, old_archive.plan, new_archive.plan, old_prints.all(),
                                new_prints.all(), pairs};
  return report_differences(compared, chosen.json, screen);
}

}  // namespace darvex
