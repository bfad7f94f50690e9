#pragma once

// The folders one worker holds open inside the output directory, so that an entry in a folder
// already reached costs one open relative to it, not a walk from the top. Each part of a path
// is opened relative to the folder before it, never through a link, and made when missing; a
// folder entered (not made) for the first time is cleared of what killed runs left in it.
// Every worker has a walker of its own: nothing here is shared.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/platform.hpp"
#include "select/entry_name.hpp"

namespace darvex {

class folder_walker {
 public:
  explicit folder_walker(const platform::directory& root) : root_(root) {}

  // The folder that the first `depth` parts of `path` name, opened (and with `create`, made)
  // part by part. Nullptr when it cannot be reached: `err` is then the reason (ELOOP for a link
  // on the way), or 0 when, without `create`, a part does not exist.
  const platform::directory* folder(const entry_path& path, std::size_t depth, bool create, int& err);

  // Closes every folder held open but the output directory.
  void release() { held_.clear(); }

 private:
  // Few enough that many workers stay within the descriptors a process may hold.
  static constexpr std::size_t MOST_HELD = 16;

  const platform::directory& root_;
  std::unordered_map<std::string, platform::directory> held_;  // by the parts that reach it, joined by '/'
  std::unordered_set<std::string> cleared_;                    // folders cleared of leftovers
};

}  // namespace darvex
