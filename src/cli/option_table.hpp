#pragma once

// The options' table (option_table.def) as C++: an `option_id` for each option and its row.

#include <array>
#include <cstddef>
#include <string_view>

namespace darvex {

enum class option_id {
#define DARVEX_OPTION(id, short_name, long_name, argument, help) id,
#include "cli/option_table.def"
#undef DARVEX_OPTION
};

inline constexpr char LONG_ONLY = '\0';  // the short name of an option that has none

struct option_row {
  option_id id;
  char short_name;             // LONG_ONLY for an option that has only its long name
  std::string_view long_name;  // without its "--"
  std::string_view argument;   // the name of its value, empty for an option that takes none
  std::string_view help;       // its lines in --help, split at '\n'
};

inline constexpr std::array OPTION_TABLE{
#define DARVEX_OPTION(id, short_name, long_name, argument, help) \
  option_row{option_id::id, short_name, long_name, argument, help},
#include "cli/option_table.def"
#undef DARVEX_OPTION
};

// Whether two rows share a name: the parser would only ever find the first.
constexpr bool names_repeat() {
  for (std::size_t i = 0; i < OPTION_TABLE.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      const option_row& a = OPTION_TABLE[i];
      const option_row& b = OPTION_TABLE[j];
      if (a.long_name == b.long_name || (a.short_name != LONG_ONLY && a.short_name == b.short_name)) return true;
    }
  }
  return false;
}
static_assert(!names_repeat(), "two options of option_table.def share a name");

}  // namespace darvex
