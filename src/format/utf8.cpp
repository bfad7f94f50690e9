#include "format/utf8.hpp"

namespace darvex {
namespace {

// For each lead byte of a multi-byte sequence: the sequence's length and the range its second
// byte must fall in (the rest are 0x80 to 0xBF), which rules out overlong forms, surrogates
// and code points past U+10FFFF.
struct lead_rule {
  unsigned char first_lead;
  unsigned char last_lead;
  std::size_t length;
  unsigned char second_low;
  unsigned char second_high;
};

constexpr lead_rule LEAD_RULES[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF}, {0xED, 0xED, 3, 0x80, 0x9F},
    {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF}, {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

bool within(unsigned char byte, unsigned char low, unsigned char high) { return byte >= low && byte <= high; }

}  // namespace

std::size_t utf8_sequence_length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  if (byte(0) < 0x80) return 1;
  for (const lead_rule& rule : LEAD_RULES) {
    if (!within(byte(0), rule.first_lead, rule.last_lead)) continue;
    if (at + rule.length > text.size() || !within(byte(1), rule.second_low, rule.second_high)) return 0;
    for (std::size_t i = 2; i < rule.length; ++i) {
      if (!within(byte(i), 0x80, 0xBF)) return 0;
    }
    return rule.length;
  }
  return 0;
}

utf8_character decode_utf8(std::string_view text, std::size_t at) {
  const std::size_t length = utf8_sequence_length(text, at);
  if (length == 0) return {};
  const auto lead = static_cast<unsigned char>(text[at]);
  // The lead keeps 7, 5, 4 or 3 bits of the code point; each continuation byte 6 more.
  char32_t code_point = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    code_point = (code_point << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
  }
  return {code_point, length};
}

bool is_c1_control_at(std::string_view text, std::size_t at) {
  const utf8_character decoded = decode_utf8(text, at);
  return decoded.length == 2 && decoded.code_point <= 0x9F;  // two bytes start at U+0080
}

bool is_utf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = utf8_sequence_length(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

}  // namespace darvex
