#pragma once

// How stored entry names are read as text, and text stored as names: the one place that says
// what name a file gets, what patterns match and what the screen shows for a stored name.
//
// By default it is the system's reading: the bytes themselves on POSIX, the ANSI code page on
// Windows (platform::name_as_text). With a code page chosen (--codepage), names are read in it
// on every system and their text is UTF-8, which each system's file names take in their own
// form (UTF-8 on POSIX, UTF-16 on Windows); bytes the code page does not read, and characters
// it cannot hold, are refused by name, never replaced.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class name_codec;
}

namespace darvex {

class name_encoding {
 public:
  // The system's reading.
  name_encoding() = default;
  // Names read in `code_page`, one of platform::supported_code_pages(); throws
  // std::runtime_error when this system cannot convert it.
  explicit name_encoding(unsigned code_page);

  // Whether a code page was chosen.
  bool chosen() const { return codec_ != nullptr; }
  // Whether text is stored as its own bytes: the system's reading on POSIX, where a new name
  // goes into an archive as the bytes of its file name (UTF-8, as a rule).
  bool stores_text_bytes() const;

  // The text of the stored name `stored`; nothing, with `why` saying which byte is not text
  // (when `why` is given), when it is not text in the code page.
  std::optional<std::string> text_of(std::string_view stored, std::string* why = nullptr) const;
  // The bytes an archive stores for the name `text`, such that text_of gives `text` back;
  // nothing, with `why` saying which character, when the code page cannot hold it.
  std::optional<std::string> stored_of(std::string_view text, std::string* why = nullptr) const;

 private:
  std::shared_ptr<const platform::name_codec> codec_;  // none for the system's reading
};

}  // namespace darvex
