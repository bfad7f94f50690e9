// Code pages on Windows: MultiByteToWideChar and WideCharToMultiByte, strictly (invalid bytes
// refused, no "best fit" characters), a character at a time, so that the first one that fails
// is found.

#include <windows.h>

#include <string>

#include "platform/code_page.hpp"
#include "platform/text_windows.hpp"

namespace platform {
namespace {

// How many bytes the character that `lead` begins takes in `code_page` (at most what is left).
std::size_t character_length(unsigned code_page, unsigned char lead) {
  if (code_page == UTF8_CODE_PAGE) {
    return lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 1;
  }
  return IsDBCSLeadByteEx(code_page, lead) ? 2 : 1;
}

// The UTF-16 of one character, strictly; nothing when the bytes are not one in `code_page`.
std::optional<std::wstring> wide_character(unsigned code_page, std::string_view bytes) {
  const int size = static_cast<int>(bytes.size());
  wchar_t wide[4];
  const int length = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, wide, 4);
  if (length <= 0) return std::nullopt;
  return std::wstring(wide, static_cast<std::size_t>(length));
}

// `code_page`'s bytes for one character (one or two UTF-16 units); nothing when it has none.
std::optional<std::string> narrow_character(unsigned code_page, std::wstring_view wide) {
  const int size = static_cast<int>(wide.size());
  char narrow[8];
  BOOL defaulted = FALSE;
  const bool utf8 = code_page == UTF8_CODE_PAGE;
  // UTF-16 that came from valid UTF-8 always has UTF-8 (and Windows XP knows no flag for it).
  const int length = WideCharToMultiByte(code_page, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), size, narrow, 8,
                                         nullptr, utf8 ? nullptr : &defaulted);
  if (length <= 0 || defaulted) return std::nullopt;
  return std::string(narrow, static_cast<std::size_t>(length));
}

}  // namespace

struct name_codec::state {};

name_codec::name_codec(unsigned code_page) : code_page_(code_page), state_(std::make_unique<state>()) {}

name_codec::~name_codec() = default;

bool name_codec::decode(std::string_view stored, std::string& text, std::size_t& bad_at) const {
  std::wstring wide;
  for (std::size_t at = 0; at < stored.size();) {
    const std::size_t length = character_length(code_page_, static_cast<unsigned char>(stored[at]));
    const std::optional<std::wstring> character =
        at + length <= stored.size() ? wide_character(code_page_, stored.substr(at, length)) : std::nullopt;
    if (!character) {
      bad_at = at;
      text.clear();
      return false;
    }
    wide += *character;
    at += length;
  }
  text = utf8_from_wide(wide);
  return true;
}

bool name_codec::encode(std::string_view text, std::string& stored, std::size_t& bad_at) const {
  stored.clear();
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = character_length(UTF8_CODE_PAGE, static_cast<unsigned char>(text[at]));
    const std::optional<std::wstring> wide =
        at + length <= text.size() ? wide_character(CP_UTF8, text.substr(at, length)) : std::nullopt;
    const std::optional<std::string> bytes = wide ? narrow_character(code_page_, *wide) : std::nullopt;
    if (!bytes) {
      bad_at = at;
      stored.clear();
      return false;
    }
    stored += *bytes;
    at += length;
  }
  return true;
}

}  // namespace platform
