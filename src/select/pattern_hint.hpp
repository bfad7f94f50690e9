#pragma once

// A hint for an -i pattern that matches no entry. Patterns match the whole stored name, so
// "rock.dds" misses "data\tex\rock.dds"; the hint is the nearest pattern that does match one:
// the name's end ("*rock.dds"), a folder ("data/tex/*"), its start ("rock*"), or a part
// ("*rock*").

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace darvex {

struct pattern_hint {
  std::string pattern;  // a pattern that matches at least one entry
  std::string example;  // the first name it matches, as text
};

// A hint for `pattern`, which matches none of `names` (the names as text, as patterns see them,
// in index order); nothing when no pattern near it matches either. Letters compare as -i
// compares them.
std::optional<pattern_hint> hint_for(std::string_view pattern, const std::vector<std::string>& names);

}  // namespace darvex
