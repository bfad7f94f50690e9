#include "select/entry_name.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "platform/name_parts.hpp"

namespace darvex {
namespace {

// Stored names are split at '/' and '\' on every system, so that they unpack alike everywhere.
platform::name_parts stored_name_parts(std::string_view name) {
  return platform::name_parts(name, platform::ANY_PATH_SEPARATOR);
}

bool has_drive_prefix(std::string_view name) {
  return name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Windows drops trailing dots and spaces from a component: "..  " is "..", ". ." is ".".
std::string_view windows_trimmed(std::string_view component) {
  while (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
    component.remove_suffix(1);
  }
  return component;
}

// COM and LPT ports: the prefix and one digit. Windows counts 0-9 and the superscripts one,
// two and three as digits; those arrive as Latin-1 bytes or, under a UTF-8 code page, as pairs.
bool is_windows_port(std::string_view base) {
  static constexpr std::array<std::string_view, 6> superscripts{"\xB9",     "\xB2",     "\xB3",
                                                                "\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};
  if (base.size() < 4) return false;
  const std::string_view prefix = base.substr(0, 3);
  if (!equals_ignoring_case(prefix, "COM") && !equals_ignoring_case(prefix, "LPT")) return false;
  const std::string_view digit = base.substr(3);
  if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') return true;
  return std::find(superscripts.begin(), superscripts.end(), digit) != superscripts.end();
}

// CON, PRN, AUX, NUL, the console's CONIN$ and CONOUT$, and the ports name devices in any
// directory, in any case and with any extension: "nul.txt" opens the null device.
bool is_windows_device(std::string_view component) {
  static constexpr std::array<std::string_view, 6> fixed{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  const std::string_view base = windows_trimmed(component.substr(0, component.find('.')));
  for (std::string_view device : fixed) {
    if (equals_ignoring_case(base, device)) return true;
  }
  return is_windows_port(base);
}

// A part as this system keeps it: Windows drops trailing dots and spaces ("a.txt." is "a.txt").
std::string_view rules_trimmed(std::string_view part) {
  return HOST_NAME_RULES == name_rules::windows && part != "." && part != ".." ? windows_trimmed(part) : part;
}

const char* component_reason(std::string_view component, name_rules rules) {
  if (component == "..") return "a \"..\" component leaves the output directory";
  if (rules != name_rules::windows) return nullptr;
  // "." stays where it is; anything else of dots and spaces may resolve to "..".
  if (!component.empty() && component != "." && windows_trimmed(component).empty()) {
    return "a component of only dots and spaces names a directory on Windows";
  }
  if (is_windows_device(component)) return "names a Windows device";
  return nullptr;
}

}  // namespace

std::string same_file_key(std::string_view name) {
  std::string key;
  for (const std::string_view stored_part : stored_name_parts(name)) {
    const std::string_view part = windows_trimmed(stored_part);
    if (part.empty()) continue;
    if (!key.empty()) key += '/';
    for (const char c : part) key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return key;
}

entry_path path_of_entry(std::string_view text, unsigned strip) {
  entry_path path;
  for (const std::string_view stored_part : stored_name_parts(text)) {
    const std::string_view part = rules_trimmed(stored_part);
    if (part.empty() || part == ".") continue;
    if (strip > 0) {
      --strip;
      continue;
    }
    path.parts.emplace_back(part);
  }
  path.folder = !text.empty() && platform::is_separator(text.back(), platform::ANY_PATH_SEPARATOR);
  return path;
}

std::string joined(const entry_path& path) {
  std::string text;
  for (const std::string& part : path.parts) {
    if (!text.empty()) text += '/';
    text += part;
  }
  return text;
}

const char* unsafe_name_reason(const char* name, name_rules rules) {
  const std::string_view whole(name);
  if (whole.empty()) return "empty name";
  if (whole == "." || whole == "..") return "names a directory";
  if (platform::is_separator(whole.front(), platform::ANY_PATH_SEPARATOR)) return "absolute path";
  if (has_drive_prefix(whole)) return "drive prefix";
  if (rules == name_rules::windows && whole.find(':') != std::string_view::npos) {
    return "':' in a name writes a hidden data stream on Windows";
  }
  for (const std::string_view component : stored_name_parts(whole)) {
    if (const char* reason = component_reason(component, rules)) return reason;
  }
  return nullptr;
}

}  // namespace darvex
