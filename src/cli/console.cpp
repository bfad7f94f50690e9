#include "cli/console.hpp"

#include <cerrno>
#include <cstdio>

#include "format/utf8.hpp"
#include "platform/terminal.hpp"

namespace darvex {
namespace {

// The most standard output's held text may grow to before it is let out all the same.
constexpr std::size_t MOST_HELD = 64 * 1024;

void append_hex(std::string& out, unsigned char byte) {
  static constexpr char DIGITS[] = "0123456789ABCDEF";
  out += "\\x";
  out += DIGITS[byte >> 4];
  out += DIGITS[byte & 0xF];
}

}  // namespace

std::string escaped(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x20 || byte == 0x7F) {
      append_hex(out, byte);
    } else if (is_c1_control_at(bytes, i)) {
      append_hex(out, byte);
      append_hex(out, static_cast<unsigned char>(bytes[++i]));
    } else {
      out += bytes[i];
    }
  }
  return out;
}

std::string full_reason(const problem& failure) {
  if (failure.err == 0) return failure.reason;
  return failure.reason + ": " + platform::error_text(failure.err);
}

console::console(bool quiet)
    : quiet_(quiet),
      out_(platform::text_stream_for(stdout)),
      err_(platform::text_stream_for(stderr)),
      out_terminal_(platform::is_terminal(out_)),
      err_terminal_(platform::is_terminal(err_)) {}

void console::out(std::string_view text, platform::text_kind kind) {
  if (quiet_ || output_error_ != 0) return;
  if (!holding_) return write_out(text, kind);
  held_.emplace_back(text, kind);
  held_bytes_ += text.size();
  if (held_bytes_ > MOST_HELD) let_out_held();
}

void console::write_out(std::string_view text, platform::text_kind kind) {
  if (output_error_ == 0) output_error_ = platform::write_text(out_, {{text, kind}});
}

void console::let_out_held() {
  if (held_.empty()) return;
  remove_status();
  for (const auto& [text, kind] : held_) write_out(text, kind);
  held_.clear();
  held_bytes_ = 0;
}

void console::remove_status() {
  if (!status_shown_) return;
  platform::clear_status_line(err_);
  status_shown_ = false;
}

unsigned console::err_columns() {
  if (!err_columns_) err_columns_ = err_terminal_ ? platform::terminal_columns(err_) : 0;
  return *err_columns_;
}

void console::hold_output(bool hold) {
  if (!hold) let_out_held();
  holding_ = hold && out_terminal_;
}

void console::show_status(std::string_view text) {
  let_out_held();
  if (!err_terminal_) return;
  flush();
  status_shown_ = platform::show_status_line(err_, text) == 0;
}

void console::clear_status() {
  let_out_held();
  remove_status();
}

void console::print(std::string_view text) { out(text, platform::text_kind::tool); }
void console::print_path(std::string_view path) { out(escaped(path), platform::text_kind::command_line); }
void console::print_name(std::string_view name) { out(escaped(name), platform::text_kind::stored_name); }
void console::print_utf8(std::string_view text) { out(text, platform::text_kind::utf8); }

void console::flush() {
  let_out_held();
  if (quiet_ || output_error_ != 0) return;
  errno = 0;
  if (std::fflush(stdout) != 0) output_error_ = platform::failed_write_error();
}

// One line on standard error, after what standard output holds, so that the two keep their
// order on a shared terminal or file.
void console::message(std::initializer_list<platform::text_part> parts) {
  flush();
  remove_status();
  platform::write_text(err_, parts);
}

using platform::text_kind;

void console::report(std::string_view subject, std::string_view reason, int err) {
  const std::string system = err != 0 ? ": " + platform::error_text(err) : std::string();
  message({{"DarvEx: ", text_kind::tool},
           {escaped(subject), text_kind::command_line},
           {": " + escaped(reason), text_kind::command_line},
           {system + "\n", text_kind::tool}});
}

void console::report_path(std::string_view path, std::string_view reason, int err) {
  report('"' + std::string(path) + '"', reason, err);
}

void console::report(const problem& failure) { report_path(failure.path, failure.reason, failure.err); }

void console::report(const planned_entry& entry, const problem& failure) {
  entry_message(entry, failure.reason, failure.err);
}

void console::note(const planned_entry& entry, std::string_view text) { entry_message(entry, text, 0); }

void console::entry_message(const planned_entry& entry, std::string_view reason, int err) {
  const std::string system = err != 0 ? ": " + platform::error_text(err) : std::string();
  const std::string archive = entries_archive_ ? escaped('"' + *entries_archive_ + "\": ") : std::string();
  message({{"DarvEx: ", text_kind::tool},
           {archive, text_kind::command_line},
           {"entry " + std::to_string(entry.position) + " (", text_kind::tool},
           {escaped(entry.name), text_kind::stored_name},
           {"): " + escaped(reason) + system + "\n", text_kind::tool}});
}

void console::report_plain(std::string_view what) {
  message({{"DarvEx: ", text_kind::tool}, {escaped(what), text_kind::command_line}, {"\n", text_kind::tool}});
}

void console::say(std::string_view line) { message({{line, text_kind::tool}}); }

void console::report_usage(std::string_view what) {
  message({{"DarvEx: ", text_kind::tool},
           {escaped(what), text_kind::command_line},
           {"\nTry 'DarvEx --help'.\n", text_kind::tool}});
}

}  // namespace darvex
