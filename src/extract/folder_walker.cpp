#include "extract/folder_walker.hpp"

#include <cerrno>
#include <vector>

namespace darvex {

const platform::directory* folder_walker::folder(const entry_path& path, std::size_t depth, bool create, int& err) {
  err = 0;
  // keys[d]: the first d parts joined, the key of the folder they reach.
  std::vector<std::string> keys(depth + 1);
  for (std::size_t d = 1; d <= depth; ++d) keys[d] = d == 1 ? path.parts[0] : keys[d - 1] + '/' + path.parts[d - 1];
  std::size_t reached = depth;
  const platform::directory* current = &root_;
  for (; reached > 0; --reached) {
    if (const auto found = held_.find(keys[reached]); found != held_.end()) {
      current = &found->second;
      break;
    }
  }
  for (std::size_t d = reached; d < depth; ++d) {
    platform::directory next;
    bool made = false;
    err = current->open_folder(path.parts[d], create, next, &made);
    if (err == ENOENT && !create) err = 0;
    if (err != 0 || !next.is_open()) return nullptr;
    if (!made && cleared_.insert(keys[d + 1]).second) next.remove_leftovers();
    if (held_.size() >= MOST_HELD) held_.clear();  // `current` is not used again before it is replaced
    current = &(held_[keys[d + 1]] = std::move(next));
  }
  return current;
}

}  // namespace darvex
