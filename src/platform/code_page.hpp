#pragma once

// Stored names read in a code page chosen on the command line: a Windows code page (1252 for
// Western European games, 1251 Cyrillic, 932 Japanese, 936, 949 and 950 Chinese and Korean...)
// or UTF-8, on every system. Names are decoded to UTF-8 text and encoded back to the very bytes;
// a byte that begins no character of the code page, or a character the code page cannot hold,
// is found and named, never replaced by '?' or U+FFFD.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr unsigned UTF8_CODE_PAGE = 65001;

// The code pages a name codec reads and writes.
const std::vector<unsigned>& supported_code_pages();

// The code page that `text` names ("1252", "cp1252", "utf-8", "utf8", "65001"), when it is one
// of the supported ones.
std::optional<unsigned> code_page_named(std::string_view text);

class name_codec {
 public:
  // A codec for `code_page`, one of supported_code_pages().
  explicit name_codec(unsigned code_page);
  ~name_codec();
  name_codec(const name_codec&) = delete;
  name_codec& operator=(const name_codec&) = delete;

  unsigned code_page() const { return code_page_; }

  // The UTF-8 text of the stored bytes `stored`; false, with `bad_at` the offset of the first
  // byte that begins no character of the code page (a lead byte without its trail byte, a byte
  // the code page leaves undefined), when there is one.
  bool decode(std::string_view stored, std::string& text, std::size_t& bad_at) const;

  // The code page's bytes for the UTF-8 text `text`; false, with `bad_at` the offset in `text`
  // of the first character the code page cannot hold (or of bytes that are not UTF-8).
  bool encode(std::string_view text, std::string& stored, std::size_t& bad_at) const;

  struct state;  // the system's converters

 private:
  unsigned code_page_;
  std::unique_ptr<state> state_;
};

}  // namespace platform
