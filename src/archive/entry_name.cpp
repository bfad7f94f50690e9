#include "archive/entry_name.hpp"

#include <array>
#include <cctype>
#include <string_view>

namespace darvex {
namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

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

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices in any directory, in any case, and
// with any extension: "nul.txt" opens the null device.
bool is_windows_device(std::string_view component) {
  static constexpr std::array<std::string_view, 4> fixed{"CON", "PRN", "AUX", "NUL"};
  const std::string_view base = windows_trimmed(component.substr(0, component.find('.')));
  for (std::string_view device : fixed) {
    if (equals_ignoring_case(base, device)) return true;
  }
  const bool numbered = base.size() == 4 && base[3] >= '1' && base[3] <= '9';
  return numbered && (equals_ignoring_case(base.substr(0, 3), "COM") ||
                      equals_ignoring_case(base.substr(0, 3), "LPT"));
}

const char* component_reason(std::string_view component, name_rules rules) {
  if (component == "..") return "a \"..\" component leaves the output directory";
  if (rules != name_rules::windows) return nullptr;
  if (!component.empty() && windows_trimmed(component).empty()) {
    return "a component of only dots and spaces names a directory on Windows";
  }
  if (is_windows_device(component)) return "names a Windows device";
  return nullptr;
}

}  // namespace

const char* unsafe_name_reason(const char* name, name_rules rules) {
  const std::string_view whole(name);
  if (whole.empty()) return "empty name";
  if (whole == "." || whole == "..") return "names a directory";
  if (is_separator(whole.front())) return "absolute path";
  if (has_drive_prefix(whole)) return "drive prefix";
  if (rules == name_rules::windows && whole.find(':') != std::string_view::npos) {
    return "':' in a name writes a hidden data stream on Windows";
  }
  std::size_t start = 0;
  while (start <= whole.size()) {
    std::size_t end = start;
    while (end < whole.size() && !is_separator(whole[end])) ++end;
    if (const char* reason = component_reason(whole.substr(start, end - start), rules)) {
      return reason;
    }
    start = end + 1;
  }
  return nullptr;
}

}  // namespace darvex
