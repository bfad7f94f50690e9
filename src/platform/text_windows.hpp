#pragma once

// Text conversions of the Windows build: command-line text is UTF-8 inside the tool, stored
// entry names are bytes in the ANSI code page, and the system takes UTF-16.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// UTF-16 of UTF-8 text; nothing when the bytes are not valid UTF-8.
std::optional<std::wstring> wide_from_utf8(std::string_view text);
// UTF-16 of bytes in the ANSI code page; nothing when they are not valid there.
std::optional<std::wstring> wide_from_ansi(std::string_view bytes);
// UTF-8 of UTF-16 text (unpaired surrogates become U+FFFD).
std::string utf8_from_wide(std::wstring_view text);
// The ANSI code page's bytes for UTF-16 text, '?' for each character it has not.
std::string ansi_from_wide(std::wstring_view text);
// The ANSI code page's bytes for UTF-16 text; nothing when that code page lacks a character of it.
std::optional<std::string> ansi_exactly_from_wide(std::wstring_view text);
// `text` with its letters upper-cased as NTFS compares names (É and é are one file there).
std::wstring upper_case(std::wstring_view text);

}  // namespace platform
