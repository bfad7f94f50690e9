#include "extract/folder_walker.hpp"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace darvex {
namespace {

// Descriptors kept for what is not a held folder: the standard streams, the archive, the output
// directory, files being written, and whatever the system itself holds.
constexpr std::size_t KEPT_DESCRIPTORS = 64;
constexpr std::size_t FEWEST_HELD = 16;
constexpr std::size_t MOST_HELD = 1024;

}  // namespace

std::size_t folders_held_per_writer(unsigned writers) {
  const std::size_t limit = platform::descriptor_limit();
  const std::size_t room = limit > KEPT_DESCRIPTORS ? limit - KEPT_DESCRIPTORS : 0;
  // Half the room, shared: the other half is for everything the estimate misses.
  const std::size_t share = room / 2 / std::max(1u, writers);
  return std::clamp(share, FEWEST_HELD, MOST_HELD);
}

const platform::directory* folder_walker::held(const std::string& key) {
  const auto found = by_key_.find(key);
  if (found == by_key_.end()) return nullptr;
  held_.splice(held_.begin(), held_, found->second);
  return &found->second->second;
}

const platform::directory* folder_walker::hold(const std::string& key, platform::directory folder) {
  while (held_.size() >= most_held_) {
    by_key_.erase(held_.back().first);
    held_.pop_back();
  }
  held_.emplace_front(key, std::move(folder));
  by_key_[key] = held_.begin();
  return &held_.front().second;
}

void folder_walker::release() {
  most_held_ = std::max<std::size_t>(1, std::min(most_held_, held_.size()) / 2);
  by_key_.clear();
  held_.clear();
}

const platform::directory* folder_walker::folder(const entry_path& path, std::size_t depth, bool create, int& err) {
  err = 0;
  // keys[d]: the first d parts joined, the key of the folder they reach.
  std::vector<std::string> keys(depth + 1);
  for (std::size_t d = 1; d <= depth; ++d) keys[d] = d == 1 ? path.parts[0] : keys[d - 1] + '/' + path.parts[d - 1];
  std::size_t reached = depth;
  const platform::directory* current = &root_;
  for (; reached > 0; --reached) {
    if (const platform::directory* found = held(keys[reached])) {
      current = found;
      break;
    }
  }
  for (std::size_t d = reached; d < depth; ++d) {
    platform::directory next;
    bool made = false;
    // A folder reached before is only opened; made again only if it has gone meanwhile.
    const bool known = cleared_.count(keys[d + 1]) > 0;
    err = current->open_folder(path.parts[d], create && !known, next, &made);
    if (err == ENOENT && create && known) err = current->open_folder(path.parts[d], true, next, &made);
    if (err == ENOENT && !create) err = 0;
    if (err != 0 || !next.is_open()) return nullptr;
    if (cleared_.insert(keys[d + 1]).second && !made && clear_leftovers_) next.remove_leftovers();
    // Held before `current` may be let go of: it is not used again.
    current = hold(keys[d + 1], std::move(next));
  }
  return current;
}

}  // namespace darvex
