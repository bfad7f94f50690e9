// What the code pages are, on every system; converting is the system's own.

#include "platform/code_page.hpp"

#include <algorithm>
#include <cctype>
#include <string>

namespace platform {

const std::vector<unsigned>& supported_code_pages() {
  static const std::vector<unsigned> pages = {437,  850,  874,  932,  936,  949,  950,  1250,          1251,
                                              1252, 1253, 1254, 1255, 1256, 1257, 1258, UTF8_CODE_PAGE};
  return pages;
}

std::optional<unsigned> code_page_named(std::string_view text) {
  std::string name;
  for (const char c : text) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name == "utf-8" || name == "utf8") return UTF8_CODE_PAGE;
  if (name.rfind("cp", 0) == 0) name.erase(0, 2);
  if (name.empty() || name.size() > 5 || name.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const auto number = static_cast<unsigned>(std::stoul(name));
  const std::vector<unsigned>& pages = supported_code_pages();
  if (std::find(pages.begin(), pages.end(), number) == pages.end()) return std::nullopt;
  return number;
}

}  // namespace platform
