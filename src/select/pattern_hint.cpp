#include "select/pattern_hint.hpp"

#include "platform/name_parts.hpp"
#include "platform/platform.hpp"
#include "platform/traits.hpp"
#include "select/name_glob.hpp"

namespace darvex {
namespace {

// A stored name as patterns see it (folded) and as the user is shown it (text).
struct name_forms {
  std::string text;
  std::string folded;
};

std::vector<name_forms> forms_of(const std::vector<std::string>& names) {
  std::vector<name_forms> forms;
  for (const std::string& name : names) {
    forms.push_back({name, platform::case_folded(name)});
  }
  return forms;
}

std::optional<pattern_hint> first_match(const std::string& pattern, const std::vector<name_forms>& names) {
  const std::string folded = platform::case_folded(pattern);
  for (const name_forms& name : names) {
    if (glob_matches(folded, name.folded)) return pattern_hint{pattern, name.text};
  }
  return std::nullopt;
}

// The folder form: the first folder of a name whose last parts `pattern` names ("tex" gives
// "data/tex" for "data\tex\rock.dds"), which takes everything under it. A pattern that names a
// folder whole takes it already.
std::optional<pattern_hint> folder_match(std::string_view pattern, const std::vector<name_forms>& names) {
  while (!pattern.empty() && platform::is_separator(pattern.back(), platform::ANY_PATH_SEPARATOR)) {
    pattern.remove_suffix(1);
  }
  if (pattern.empty()) return std::nullopt;
  const std::string whole = platform::case_folded(pattern);
  const std::string last_parts = std::string("*/").append(whole);
  for (const name_forms& name : names) {
    std::string folder;
    for (auto part = platform::name_parts(name.text, platform::ANY_PATH_SEPARATOR).begin(); !part.is_last(); ++part) {
      if ((*part).empty()) continue;
      if (!folder.empty()) folder += '/';
      folder += *part;
      const std::string folded = platform::case_folded(folder);
      if (glob_matches(whole, folded) || glob_matches(last_parts, folded)) return pattern_hint{folder, name.text};
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<pattern_hint> hint_for(std::string_view pattern, const std::vector<std::string>& names) {
  if (pattern.empty()) return std::nullopt;  // near nothing
  const std::vector<name_forms> forms = forms_of(names);
  const std::string given(pattern);
  const bool starred_front = given.starts_with('*');
  const bool starred_back = given.ends_with('*');
  if (!starred_front) {
    if (auto hint = first_match(std::string("*").append(given), forms)) return hint;
  }
  if (auto hint = folder_match(pattern, forms)) return hint;
  if (!starred_back) {
    if (auto hint = first_match(std::string(given).append("*"), forms)) return hint;
  }
  if (!starred_front || !starred_back) return first_match(std::string("*").append(given).append("*"), forms);
  return std::nullopt;
}

}  // namespace darvex
