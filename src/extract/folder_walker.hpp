#pragma once

// The folders one worker holds open inside the output directory, so that an entry in a folder
// already reached costs no walk from the top. Each part of a path is opened relative to the
// folder before it, never through a link, and made when missing. The folders held are the most
// recently used, up to a number that the descriptors a process may hold allow: an archive that
// writes into a hundred folders in turn finds all of them held. A folder entered (not made) for
// the first time is cleared of what killed runs left in it, unless the whole tree is the run's
// own. Every worker has a walker of its own: nothing here is shared.

#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/platform.hpp"
#include "select/entry_name.hpp"

namespace darvex {

// How many folders each of `writers` writers may hold open, from the descriptors the process
// may hold: most of them, shared, with room kept for files being written and the rest.
std::size_t folders_held_per_writer(unsigned writers);

class folder_walker {
 public:
  folder_walker(const platform::directory& root, bool clear_leftovers, std::size_t most_held)
      : root_(root), clear_leftovers_(clear_leftovers), most_held_(most_held < 1 ? 1 : most_held) {}

  // The folder that the first `depth` parts of `path` name, opened (and with `create`, made)
  // part by part. Nullptr when it cannot be reached: `err` is then the reason (ELOOP for a link
  // on the way), or 0 when, without `create`, a part does not exist.
  const platform::directory* folder(const entry_path& path, std::size_t depth, bool create, int& err);

  // Closes every folder held open but the output directory, and holds fewer from then on: the
  // descriptors ran short.
  void release();

 private:
  using held_list = std::list<std::pair<std::string, platform::directory>>;

  // The folder held under `key`, made the most recently used; nullptr when none is.
  const platform::directory* held(const std::string& key);
  // Holds `folder` under `key`, letting go of the least recently used beyond the most held.
  const platform::directory* hold(const std::string& key, platform::directory folder);

  const platform::directory& root_;
  bool clear_leftovers_;
  std::size_t most_held_;
  held_list held_;  // the most recently used first; keys are the parts that reach each, joined by '/'
  std::unordered_map<std::string, held_list::iterator> by_key_;
  std::unordered_set<std::string> cleared_;  // folders cleared of leftovers, or made by this walker
};

}  // namespace darvex
