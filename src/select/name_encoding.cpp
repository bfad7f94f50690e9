#include "select/name_encoding.hpp"

#include <cstdio>

#include "format/utf8.hpp"
#include "platform/code_page.hpp"
#include "platform/platform.hpp"
#include "platform/traits.hpp"

namespace darvex {
namespace {

std::string code_page_words(unsigned code_page) {
  return code_page == platform::UTF8_CODE_PAGE ? "UTF-8" : "code page " + std::to_string(code_page);
}

std::string hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

// "byte 0x81 at offset 3 begins no character": the byte of `stored` at `at` that did not decode.
std::string bad_byte(std::string_view stored, std::size_t at) {
  if (at >= stored.size()) return "it ends inside a character";
  return "byte 0x" + hex(static_cast<unsigned char>(stored[at]), 2) + " at offset " + std::to_string(at) +
         " begins no character";
}

// "it has no 日 (U+65E5)": the character of `text` at `at` that did not encode.
std::string bad_character(std::string_view text, std::size_t at) {
  const utf8_character character = decode_utf8(text, at);
  if (character.length == 0) {
    const unsigned byte = at < text.size() ? static_cast<unsigned char>(text[at]) : 0;
    return "the name is not UTF-8 (byte 0x" + hex(byte, 2) + " at offset " + std::to_string(at) + ")";
  }
  return "it has no " + std::string(text.substr(at, character.length)) + " (U+" +
         hex(static_cast<unsigned>(character.code_point), 4) + ")";
}

void say(std::string* why, std::string words) {
  if (why != nullptr) *why = std::move(words);
}

}  // namespace

name_encoding::name_encoding(unsigned code_page) : codec_(std::make_shared<const platform::name_codec>(code_page)) {}

bool name_encoding::stores_text_bytes() const { return !chosen() && !platform::BUILT_FOR_WINDOWS; }

std::optional<std::string> name_encoding::text_of(std::string_view stored, std::string* why) const {
  if (!chosen()) {
    std::optional<std::string> text = platform::name_as_text(std::string(stored).c_str());
    if (!text) say(why, "name is not valid in the system's ANSI code page");
    return text;
  }
  std::string text;
  std::size_t bad_at = 0;
  if (codec_->decode(stored, text, bad_at)) return text;
  say(why, "name is not valid in " + code_page_words(codec_->code_page()) + ": " + bad_byte(stored, bad_at));
  return std::nullopt;
}

std::optional<std::string> name_encoding::stored_of(std::string_view text, std::string* why) const {
  if (!chosen()) {
    std::optional<std::string> stored = platform::stored_from_text(text);
    if (!stored) say(why, "name cannot be stored in the system's ANSI code page");
    return stored;
  }
  const std::string where = code_page_words(codec_->code_page());
  std::string stored;
  std::size_t bad_at = 0;
  if (!codec_->encode(text, stored, bad_at)) {
    say(why, "name cannot be stored in " + where + ": " + bad_character(text, bad_at));
    return std::nullopt;
  }
  // A character stored as bytes that read back as another would not extract to its file.
  const std::optional<std::string> back = text_of(stored);
  if (!back || *back != text) {
    say(why, "name cannot be stored in " + where + ": its bytes there read back as another name");
    return std::nullopt;
  }
  return stored;
}

}  // namespace darvex
