#pragma once

// What the user sees: standard output (the usage text, progress, listings) and the one-line
// messages on standard error. Names from an archive, and paths, are shown with C0 controls,
// DEL and the UTF-8 forms of the C1 controls (U+0080 to U+009F) as \xNN, so that an archive
// cannot move the cursor, repaint the screen or fake a line; printable names are shown byte
// for byte. A failed standard output is remembered and written to no more: the run goes on.
//
// At a terminal, one status line (a run's progress) may stand at the bottom of standard error.
// Every other text is written after it is cleared, so that lines and messages read as they
// would without it; while it is in use and standard output is a terminal too, standard
// output's lines are held and let out each time it is redrawn, so that it stays at the bottom.
// Whether each stream is a terminal is asked once, when the console is made.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "format/archive.hpp"
#include "select/entry_plan.hpp"

namespace darvex {

// `bytes` with the controls escaped as \xNN.
std::string escaped(std::string_view bytes);

// A problem's reason, followed by the system's text for its error number when it has one.
std::string full_reason(const problem& failure);

class console {
 public:
  // A quiet console shows nothing on standard output; messages still reach standard error.
  explicit console(bool quiet = false);

  void print(std::string_view text);       // the tool's own text
  void print_path(std::string_view path);  // command-line text
  void print_name(std::string_view name);  // a stored entry name
  void print_utf8(std::string_view text);  // UTF-8 text with no control characters: JSON Lines
  void flush();

  // "DarvEx: <subject>: <reason>[: <the system's text for err>]" on standard error.
  void report(std::string_view subject, std::string_view reason, int err = 0);
  // The same with `path` in double quotes as the subject.
  void report_path(std::string_view path, std::string_view reason, int err = 0);
  // The same for a problem, its path as the subject.
  void report(const problem& failure);
  // The same for an entry's problem: "DarvEx: entry 7 (a.bin): <reason>", or, once
  // name_entries_archive has named one, "DarvEx: "b.dat": entry 7 (a.bin): <reason>".
  void report(const planned_entry& entry, const problem& failure);
  // A word about an entry that is no failure, in the same form.
  void note(const planned_entry& entry, std::string_view text);
  // "DarvEx: <what>" on standard error: a message about the whole run.
  void report_plain(std::string_view what);
  // Names `archive_path` in every message about an entry from now on (a run of several
  // archives, where an entry's number alone could be any of them); nothing names none again.
  void name_entries_archive(std::optional<std::string> archive_path) { entries_archive_ = std::move(archive_path); }
  // A usage error, then how to get help.
  void report_usage(std::string_view what);
  // A line of the tool's own words on standard error that reports no problem.
  void say(std::string_view line);

  bool out_is_terminal() const { return out_terminal_; }
  bool err_is_terminal() const { return err_terminal_; }
  // How wide standard error's terminal is, or 0 when it cannot tell: asked the first time.
  unsigned err_columns();

  // Holds standard output's text from now on while standard output is a terminal (`hold`), or
  // lets out what it holds and writes as it comes again.
  void hold_output(bool hold);
  // Lets out the output held, then shows `text` as the status line on standard error.
  void show_status(std::string_view text);
  // Lets out the output held and removes the status line.
  void clear_status();

  // The errno value of standard output's first failure, or 0.
  int output_error() const { return output_error_; }
  // Notes a failure of standard output met by a write of raw bytes (-p), unless one came first.
  void output_failed(int err) {
    if (output_error_ == 0) output_error_ = err;
  }

 private:
  void out(std::string_view text, platform::text_kind kind);
  void write_out(std::string_view text, platform::text_kind kind);
  void let_out_held();
  void remove_status();
  void message(std::initializer_list<platform::text_part> parts);
  void entry_message(const planned_entry& entry, std::string_view reason, int err);

  bool quiet_;
  platform::text_stream out_;
  platform::text_stream err_;
  bool out_terminal_;
  bool err_terminal_;
  std::optional<unsigned> err_columns_;
  int output_error_ = 0;
  bool status_shown_ = false;
  bool holding_ = false;
  std::vector<std::pair<std::string, platform::text_kind>> held_;  // standard output's text, held
  std::size_t held_bytes_ = 0;
  std::optional<std::string> entries_archive_;
};

}  // namespace darvex
