#include "platform/text_windows.hpp"

#include <windows.h>

namespace platform {
namespace {

std::optional<std::wstring> wide_from(UINT code_page, std::string_view bytes) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), length);
  return wide;
}

// `flags` must be 0 for UTF-8, which an ANSI code page may also be (Windows 10's "beta" option).
std::string narrow_from(UINT code_page, DWORD flags, std::wstring_view text) {
  if (text.empty()) return {};
  if (code_page == CP_UTF8 || (code_page == CP_ACP && GetACP() == CP_UTF8)) flags = 0;
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(code_page, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(code_page, flags, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

}  // namespace

std::optional<std::wstring> wide_from_utf8(std::string_view text) { return wide_from(CP_UTF8, text); }

std::optional<std::wstring> wide_from_ansi(std::string_view bytes) { return wide_from(CP_ACP, bytes); }

std::string utf8_from_wide(std::wstring_view text) { return narrow_from(CP_UTF8, 0, text); }

// Without "best fit", which would show "Omega" for "Ωmega": a different name, perhaps of
// another file.
std::string ansi_from_wide(std::wstring_view text) { return narrow_from(CP_ACP, WC_NO_BEST_FIT_CHARS, text); }

// The bytes must give back the very text: '?' for a character the code page lacks does not.
std::optional<std::string> ansi_exactly_from_wide(std::wstring_view text) {
  std::string bytes = ansi_from_wide(text);
  if (wide_from_ansi(bytes) != std::optional<std::wstring>(text)) return std::nullopt;
  return bytes;
}

std::wstring upper_case(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  std::wstring upper(text.size(), L'\0');
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), length, upper.data(), length) != length) {
    return std::wstring(text);
  }
  return upper;
}

}  // namespace platform
