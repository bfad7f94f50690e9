#include "cli/diff_report.hpp"

#include <cstdio>
#include <iterator>

#include "cli/json_line.hpp"
#include "cli/json_report.hpp"

namespace darvex {
namespace {

enum class difference { same, added, removed, changed, damaged, refused };

constexpr const char* DIFFERENCE_WORDS[] = {"same", "added", "removed", "changed", "damaged", "refused"};

const char* word_of(difference kind) { return DIFFERENCE_WORDS[static_cast<std::size_t>(kind)]; }

// One entry's side of a difference: its number in its archive and what it inflated to.
struct side {
  const planned_entry* entry = nullptr;
  const entry_print* print = nullptr;
};

struct found_difference {
  difference kind;
  side old_side;
  side new_side;
};

// What a pair of entries of one name comes to: a failure on either side is one of its own.
difference compared(const entry_print& old_print, const entry_print& new_print) {
  for (const entry_print* print : {&old_print, &new_print}) {
    if (print->failure && print->failure->kind == problem_kind::refused_entry) return difference::refused;
  }
  if (old_print.failure || new_print.failure) return difference::damaged;
  return new_print.same ? difference::same : difference::changed;
}

// Every difference, in OLD's index order and then NEW's for the entries added; the entries the
// same only counted.
std::vector<found_difference> differences_of(const archive_prints& c, std::size_t& same) {
  std::vector<std::optional<std::size_t>> new_of_old(c.old_plan.entries.size());
  for (std::size_t j = 0; j < c.pairs.size(); ++j) {
    if (c.pairs[j]) new_of_old[*c.pairs[j]] = j;
  }
  std::vector<found_difference> found;
  same = 0;
  for (std::size_t i = 0; i < c.old_plan.entries.size(); ++i) {
    const side old_side{&c.old_plan.entries[i], &c.old_prints[i]};
    if (!new_of_old[i]) {
      found.push_back({difference::removed, old_side, {}});
      continue;
    }
    const std::size_t j = *new_of_old[i];
    const difference kind = compared(c.old_prints[i], c.new_prints[j]);
    if (kind == difference::same) {
      ++same;
    } else {
      found.push_back({kind, old_side, {&c.new_plan.entries[j], &c.new_prints[j]}});
    }
  }
  for (std::size_t j = 0; j < c.new_plan.entries.size(); ++j) {
    if (!c.pairs[j]) found.push_back({difference::added, {}, {&c.new_plan.entries[j], &c.new_prints[j]}});
  }
  return found;
}

// "5000 bytes, CRC-32 1a2b3c4d", or what kept it from inflating.
std::string side_text(const side& s) {
  if (s.print->failure) return s.print->failure->kind == problem_kind::refused_entry ? "refused" : "damaged";
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08lx", static_cast<unsigned long>(s.print->crc));
  return std::to_string(s.print->size) + " bytes, CRC-32 " + crc;
}

void print_line(const found_difference& d, console& screen) {
  char kind[16];
  std::snprintf(kind, sizeof kind, "%-7s  ", word_of(d.kind));
  screen.print(kind);
  screen.print_name((d.old_side.entry != nullptr ? d.old_side.entry : d.new_side.entry)->name);
  std::string detail = "  ";
  if (d.old_side.entry != nullptr) detail += side_text(d.old_side);
  if (d.old_side.entry != nullptr && d.new_side.entry != nullptr) detail += " -> ";
  if (d.new_side.entry != nullptr) detail += side_text(d.new_side);
  screen.print(detail + "\n");
}

// "old_entry", "old_size" and "old_crc", or "old_reason", for one side.
void add_side(json_object& object, const char* prefix, const side& s) {
  if (s.entry == nullptr) return;
  const std::string key(prefix);
  object.number(key + "_entry", s.entry->position);
  if (s.print->failure) {
    object.text(key + "_reason", full_reason(*s.print->failure));
  } else {
    object.number(key + "_size", s.print->size).number(key + "_crc", s.print->crc);
  }
}

void print_object(const found_difference& d, console& screen) {
  json_object object;
  add_stored_name(object, (d.old_side.entry != nullptr ? d.old_side.entry : d.new_side.entry)->name);
  object.text("status", word_of(d.kind));
  add_side(object, "old", d.old_side);
  add_side(object, "new", d.new_side);
  screen.print_utf8(object.line());
}

}  // namespace

exit_status report_differences(const archive_prints& compared, bool json, console& screen) {
  std::size_t same = 0;
  const std::vector<found_difference> found = differences_of(compared, same);
  std::size_t counts[std::size(DIFFERENCE_WORDS)] = {};
  counts[static_cast<std::size_t>(difference::same)] = same;
  for (const found_difference& d : found) {
    ++counts[static_cast<std::size_t>(d.kind)];
    if (json) {
      print_object(d, screen);
    } else {
      print_line(d, screen);
    }
  }
  const auto count = [&](difference kind) { return counts[static_cast<std::size_t>(kind)]; };
  if (json) {
    json_object whole;
    whole.text("old", compared.old_path).text("new", compared.new_path);
    for (const difference kind : {difference::added, difference::removed, difference::changed, difference::damaged,
                                  difference::refused, difference::same}) {
      whole.number(word_of(kind), count(kind));
    }
    screen.print_utf8(whole.line());
  } else {
    screen.print_path(compared.old_path);
    screen.print(" -> ");
    screen.print_path(compared.new_path);
    std::string counted = ": " + std::to_string(count(difference::added)) + " added, " +
                          std::to_string(count(difference::removed)) + " removed, " +
                          std::to_string(count(difference::changed)) + " changed, ";
    for (const difference rare : {difference::damaged, difference::refused}) {
      if (count(rare) > 0) counted += std::to_string(count(rare)) + " " + word_of(rare) + ", ";
    }
    screen.print(counted + std::to_string(same) + " the same\n");
  }
  return found.empty() ? exit_status::ok : exit_status::incomplete;
}

}  // namespace darvex
