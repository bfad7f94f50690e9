#pragma once

// What the user sees: standard output (the usage text, progress, listings) and the one-line
// messages on standard error. Names from an archive, and paths, are shown with C0 controls,
// DEL and the UTF-8 forms of the C1 controls (U+0080 to U+009F) as \xNN, so that an archive
// cannot move the cursor, repaint the screen or fake a line; printable names are shown byte
// for byte. A failed standard output is remembered and written to no more: the run goes on.

#include <cstdio>
#include <string>
#include <string_view>

#include "archive/archive.hpp"
#include "archive/entry_plan.hpp"

namespace darvex {

// `bytes` with the controls escaped as \xNN.
std::string escaped(std::string_view bytes);

// A problem's reason, followed by the system's text for its error number when it has one.
std::string full_reason(const problem& failure);

class console {
 public:
  // A quiet console shows nothing on standard output; messages still reach standard error.
  explicit console(bool quiet = false)
      : quiet_(quiet), out_(platform::text_stream_for(stdout)), err_(platform::text_stream_for(stderr)) {}

  void print(std::string_view text);       // the tool's own text
  void print_path(std::string_view path);  // command-line text
  void print_name(std::string_view name);  // a stored entry name
  void print_utf8(std::string_view text);  // UTF-8 text with no control characters: JSON Lines
  void flush();

  // "DarvEx: <subject>: <reason>[: <the system's text for err>]" on standard error.
  void report(std::string_view subject, std::string_view reason, int err = 0);
  // The same for a problem, its path in double quotes as the subject.
  void report(const problem& failure);
  // The same for an entry's problem: "DarvEx: entry 7 (a.bin): <reason>".
  void report(const planned_entry& entry, const problem& failure);
  // A word about an entry that is no failure, in the same form.
  void note(const planned_entry& entry, std::string_view text);
  // A usage error, then how to get help.
  void report_usage(std::string_view what);

  // The errno value of standard output's first failure, or 0.
  int output_error() const { return output_error_; }
  // Notes a failure of standard output met by a write of raw bytes (-p), unless one came first.
  void output_failed(int err) {
    if (output_error_ == 0) output_error_ = err;
  }

 private:
  void out(std::string_view text, platform::text_kind kind);
  void message(std::initializer_list<platform::text_part> parts);
  void entry_message(const planned_entry& entry, std::string_view reason, int err);

  bool quiet_;
  platform::text_stream out_;
  platform::text_stream err_;
  int output_error_ = 0;
};

}  // namespace darvex
