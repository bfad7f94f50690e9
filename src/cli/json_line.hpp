#pragma once

// JSON Lines for scripts: one JSON object (RFC 8259) a line, in UTF-8. Strings are escaped as
// JSON requires, and further: every control character, DEL and U+0080 to U+009F are written
// as \u00XX, so that a line shown on a terminal cannot drive it; each byte that is not part of
// well-formed UTF-8 becomes U+FFFD, so that every line parses.

#include <cstdint>
#include <string>
#include <string_view>

namespace darvex {

// `text` as a JSON string, quotes included.
std::string json_string(std::string_view text);

// `bytes` as lower-case hexadecimal digits, two a byte: stored bytes that are not text, kept.
std::string hex_bytes(std::string_view bytes);

// One JSON object, its fields in the order they are added.
class json_object {
 public:
  json_object& text(std::string_view key, std::string_view value);
  json_object& number(std::string_view key, std::uint64_t value);
  json_object& null(std::string_view key);

  // The object and a newline.
  std::string line() const { return "{" + body_ + "}\n"; }

 private:
  void add_key(std::string_view key);

  std::string body_;
};

}  // namespace darvex
