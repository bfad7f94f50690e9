#include "cli/create_report.hpp"

#include <iterator>

#include "cli/json_report.hpp"

namespace darvex {
namespace {

struct fate_text {
  entry_fate fate;
  const char* words;   // in a line, after the name
  const char* status;  // in JSON: one word
};

constexpr fate_text FATE_TEXTS[] = {
    {entry_fate::kept, "kept", "kept"},
    {entry_fate::kept_no_file, "kept: no file", "missing"},
    {entry_fate::kept_damaged, "kept: damaged", "damaged"},
    {entry_fate::packed, "new", "new"},
    {entry_fate::added, "added", "added"},
    {entry_fate::dropped, "dropped: no file", "dropped"},
};

constexpr bool in_fate_order() {
  for (std::size_t i = 0; i < std::size(FATE_TEXTS); ++i) {
    if (FATE_TEXTS[i].fate != static_cast<entry_fate>(i)) return false;
  }
  return true;
}
static_assert(in_fate_order(), "FATE_TEXTS holds every fate, in the order of entry_fate");

const fate_text& text_of(entry_fate fate) { return FATE_TEXTS[static_cast<std::size_t>(fate)]; }

// Each record's line, then "Created new.dat: 5 entries (3 kept, 1 new, 1 added: new.txt)";
// the fates that are rarer are counted only when they occur.
class entry_lines final : public create_report {
 public:
  entry_lines(const std::string& folder_path, console& screen) : create_report(screen), folder_path_(folder_path) {}

  void close(const std::string& archive_path) override {
    console& out = screen();
    out.print("Created ");
    out.print_path(archive_path);
    out.print(": " + std::to_string(entries()) + (entries() == 1 ? " entry (" : " entries ("));
    out.print(std::to_string(counted(entry_fate::kept)) + " kept");
    for (const entry_fate rare : {entry_fate::kept_no_file, entry_fate::kept_damaged}) {
      if (counted(rare) > 0) out.print(", " + std::to_string(counted(rare)) + " " + fate_words(rare));
    }
    out.print(", " + std::to_string(counted(entry_fate::packed)) + " new, " +
              std::to_string(counted(entry_fate::added)) + " added");
    print_added_names();
    out.print(")");
    if (counted(entry_fate::dropped) > 0)
      out.print(", " + std::to_string(counted(entry_fate::dropped)) + " dropped: no file");
    out.print("\n");
  }

 private:
  void show(const packed_entry& entry) override {
    console& out = screen();
    out.print_path(folder_path_);
    out.print("\\");
    out.print_name(entry.name);
    out.print(std::string("  (") + fate_words(entry.fate) + ")\n");
  }

  // ": a.txt, b\c.txt" when the files added are few enough to name.
  void print_added_names() {
    const std::vector<std::string>& names = added_names();
    if (names.empty() || names.size() > ADDED_NAMED_AT_MOST) return;
    for (std::size_t i = 0; i < names.size(); ++i) {
      screen().print(i == 0 ? ": " : ", ");
      screen().print_name(names[i]);
    }
  }

  const std::string& folder_path_;
};

// --json: an object for each record, then one for the archive, as JSON Lines:
//   {"entry":1,"name":"a.txt","size":61,"stored":61,"status":"kept"}
//   {"entry":2,"name":"b.bin","size":9,"stored":20,"status":"damaged","reason":"..."}
//   {"entry":null,"name":"gone.txt","size":5,"stored":0,"status":"dropped"}
//   {"archive":"new.dat","entries":5,"kept":2,"missing":0,"damaged":1,"new":1,"added":1,"dropped":1}
class json_lines final : public create_report {
 public:
  explicit json_lines(console& screen) : create_report(screen) {}

  void close(const std::string& archive_path) override {
    json_object summary;
    summary.text("archive", archive_path).number("entries", entries());
    for (const fate_text& text : FATE_TEXTS) summary.number(text.status, counted(text.fate));
    screen().print_utf8(summary.line());
  }

 private:
  void show(const packed_entry& entry) override {
    json_object object;
    if (entry.fate == entry_fate::dropped) {
      object.null("entry");
    } else {
      object.number("entry", entry.position);
    }
    add_stored_name(object, entry.name);
    object.number("size", entry.size).number("stored", entry.stored).text("status", fate_status(entry.fate));
    if (entry.damage) object.text("reason", *entry.damage);
    screen().print_utf8(object.line());
  }
};

}  // namespace

const char* fate_words(entry_fate fate) { return text_of(fate).words; }
const char* fate_status(entry_fate fate) { return text_of(fate).status; }

void create_report::entry_packed(const packed_entry& entry) {
  show(entry);
  ++counts_[static_cast<std::size_t>(entry.fate)];
  if (entry.fate == entry_fate::added && added_names_.size() <= ADDED_NAMED_AT_MOST) {
    added_names_.push_back(entry.name);
  }
  if (entry.damage) {
    planned_entry damaged;
    damaged.position = entry.position;
    damaged.name = entry.name;
    screen_.report(damaged, {problem_kind::damaged_entry, {}, "kept as stored: " + *entry.damage});
  }
}

std::size_t create_report::entries() const {
  std::size_t total = 0;
  for (std::size_t i = 0; i < FATES; ++i) total += i == static_cast<std::size_t>(entry_fate::dropped) ? 0 : counts_[i];
  return total;
}

std::unique_ptr<create_report> create_report_for(const options& chosen, console& screen) {
  if (chosen.json) return std::make_unique<json_lines>(screen);
  return std::make_unique<entry_lines>(chosen.folder, screen);
}

}  // namespace darvex
