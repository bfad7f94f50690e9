#include "cli/new_folders.hpp"

#include "platform/folders.hpp"
#include "platform/name_parts.hpp"

namespace darvex {

std::vector<std::string> folder_chain(const std::string& path, bool with_parents) {
  std::vector<std::string> chain;
  std::size_t end = 0;
  for (const std::string_view part : platform::name_parts(path)) {
    end = static_cast<std::size_t>(part.data() - path.data()) + part.size();
    if (!part.empty() && part != "." && part != "..") chain.push_back(path.substr(0, end));
  }
  if (!with_parents && !chain.empty()) chain.erase(chain.begin(), chain.end() - 1);
  return chain;
}

std::vector<std::string> missing_folders(const std::string& path, bool with_parents) {
  std::vector<std::string> chain = folder_chain(path, with_parents);
  std::size_t first_missing = chain.size();
  while (first_missing > 0 && !platform::path_exists(chain[first_missing - 1])) --first_missing;
  chain.erase(chain.begin(), chain.begin() + static_cast<std::ptrdiff_t>(first_missing));
  return chain;
}

void remove_while_empty(const std::vector<std::string>& folders) {
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    if (platform::remove_empty_directory(*folder) != 0) return;
  }
}

}  // namespace darvex
