#include "cli/json_line.hpp"

#include "format/utf8.hpp"

namespace darvex {
namespace {

constexpr char HEX_DIGITS[] = "0123456789abcdef";
constexpr std::string_view REPLACEMENT_CHARACTER = "\xEF\xBF\xBD";  // U+FFFD

void append_u_escape(std::string& out, unsigned code) {
  out += "\\u00";
  out += HEX_DIGITS[code >> 4];
  out += HEX_DIGITS[code & 0xF];
}

// JSON's own short escapes; nullptr for a byte that has none.
const char* short_escape(char byte) {
  switch (byte) {
    case '"':
      return "\\\"";
    case '\\':
      return "\\\\";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\t':
      return "\\t";
    case '\b':
      return "\\b";
    case '\f':
      return "\\f";
    default:
      return nullptr;
  }
}

// Appends the character of `length` bytes at `at`, escaped where it must be.
void append_character(std::string& out, std::string_view text, std::size_t at, std::size_t length) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (length == 1) {
    if (const char* escape = short_escape(text[at])) {
      out += escape;
    } else if (lead < 0x20 || lead == 0x7F) {
      append_u_escape(out, lead);
    } else {
      out += text[at];
    }
    return;
  }
  if (is_c1_control_at(text, at)) {
    append_u_escape(out, static_cast<unsigned char>(text[at + 1]));  // the second byte is the code point
    return;
  }
  out += text.substr(at, length);
}

}  // namespace

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = utf8_sequence_length(text, at);
    if (length == 0) {
      out += REPLACEMENT_CHARACTER;
      ++at;
      continue;
    }
    append_character(out, text, at, length);
    at += length;
  }
  return out + "\"";
}

std::string hex_bytes(std::string_view bytes) {
  std::string out;
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    out += HEX_DIGITS[value >> 4];
    out += HEX_DIGITS[value & 0xF];
  }
  return out;
}

void json_object::add_key(std::string_view key) {
  if (!body_.empty()) body_ += ',';
  body_ += json_string(key);
  body_ += ':';
}

json_object& json_object::text(std::string_view key, std::string_view value) {
  add_key(key);
  body_ += json_string(value);
  return *this;
}

json_object& json_object::number(std::string_view key, std::uint64_t value) {
  add_key(key);
  body_ += std::to_string(value);
  return *this;
}

json_object& json_object::null(std::string_view key) {
  add_key(key);
  body_ += "null";
  return *this;
}

}  // namespace darvex
