#include "cli/options.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <thread>
#include <utility>

#include "cli/option_table.hpp"
#include "format/deflate.hpp"

namespace darvex {
namespace {

constexpr unsigned DEFAULT_JOBS_LIMIT = 16;

const option_row* find_short(char name) {
  if (name == LONG_ONLY) return nullptr;
  const auto found =
      std::find_if(OPTION_TABLE.begin(), OPTION_TABLE.end(), [&](const option_row& o) { return o.short_name == name; });
  return found == OPTION_TABLE.end() ? nullptr : &*found;
}

const option_row* find_long(std::string_view name) {
  const auto found =
      std::find_if(OPTION_TABLE.begin(), OPTION_TABLE.end(), [&](const option_row& o) { return o.long_name == name; });
  return found == OPTION_TABLE.end() ? nullptr : &*found;
}

std::string shown(const option_row& known, bool as_long) {
  if (as_long || known.short_name == LONG_ONLY) return "'--" + std::string(known.long_name) + "'";
  return std::string("'-") + known.short_name + "'";
}

// The whole of `value` as a number from `low` to `high`, or nothing.
std::optional<unsigned> number_in(const std::string& value, unsigned low, unsigned high) {
  unsigned number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (error != std::errc() || end != value.data() + value.size() || number < low || number > high) return std::nullopt;
  return number;
}

// Sets `field` from an option's numeric value; returns what is wrong with it, or an empty string.
std::string apply_number(const option_row& known, bool as_long, const std::string& value, const char* counted,
                         unsigned low, unsigned high, unsigned& field) {
  const std::optional<unsigned> number = number_in(value, low, high);
  if (!number) {
    return "option " + shown(known, as_long) + " takes a number of " + counted + " from " + std::to_string(low) +
           " to " + std::to_string(high) + ", not '" + value + "'";
  }
  field = *number;
  return {};
}

// The commands that exclude one another, in the order a message names them.
constexpr std::array<std::pair<command, const char*>, 5> EXCLUSIVE_COMMANDS{{
    {command::list, "'-l'"},
    {command::test, "'-t'"},
    {command::to_stdout, "'-p'"},
    {command::create, "'-c'"},
    {command::diff, "'--diff'"},
}};

// Sets the command; returns what is wrong when another excludes it, or an empty string.
std::string set_command(command what, options& chosen) {
  const auto is = [](command c) {
    return [c](const std::pair<command, const char*>& known) { return known.first == c; };
  };
  const auto given = std::find_if(EXCLUSIVE_COMMANDS.begin(), EXCLUSIVE_COMMANDS.end(), is(chosen.what));
  const auto added = std::find_if(EXCLUSIVE_COMMANDS.begin(), EXCLUSIVE_COMMANDS.end(), is(what));
  if (given != EXCLUSIVE_COMMANDS.end() && given != added) {
    const auto [first, second] = std::minmax(given, added);
    return std::string(first->second) + " and " + second->second + " cannot be used together";
  }
  chosen.what = what;
  return {};
}

// Applies one option to `chosen`; returns what is wrong with it, or an empty string.
std::string apply(const option_row& known, bool as_long, const std::string& value, options& chosen) {
  switch (known.id) {
    case option_id::list:
      return set_command(command::list, chosen);
    case option_id::test:
      return set_command(command::test, chosen);
    case option_id::to_stdout:
      return set_command(command::to_stdout, chosen);
    case option_id::diff:
      return set_command(command::diff, chosen);
    case option_id::no_overwrite:
      chosen.no_overwrite = true;
      break;
    case option_id::no_table:
      chosen.no_table = true;
      break;
    case option_id::sync:
      chosen.sync = true;
      break;
    case option_id::json:
      chosen.json = true;
      break;
    case option_id::quiet:
      chosen.quiet = true;
      break;
    case option_id::help:
      chosen.what = command::help;
      break;
    case option_id::version:
      chosen.what = command::version;
      break;
    case option_id::include:
      chosen.includes.push_back(value);
      break;
    case option_id::exclude:
      chosen.excludes.push_back(value);
      break;
    case option_id::directory:
      if (value.empty()) return "option " + shown(known, as_long) + " needs a directory name";
      chosen.directory = value;
      chosen.directory_option = shown(known, as_long);
      break;
    case option_id::jobs:
      return apply_number(known, as_long, value, "jobs", 1, MAX_JOBS, chosen.jobs);
    case option_id::strip_components:
      return apply_number(known, as_long, value, "name parts", 0, MAX_STRIPPED_PARTS, chosen.strip_components);
    case option_id::create:
      if (value.empty()) return "option " + shown(known, as_long) + " needs a file name";
      chosen.created = value;
      return set_command(command::create, chosen);
    case option_id::like:
      if (value.empty()) return "option " + shown(known, as_long) + " needs an archive";
      chosen.like = value;
      break;
    case option_id::level: {
      unsigned level = 0;
      std::string wrong = apply_number(known, as_long, value, "level", MIN_COMPRESSION_LEVEL,
                                       static_cast<unsigned>(max_compression_level()), level);
      if (wrong.empty()) chosen.level = level;
      return wrong;
    }
  }
  return {};
}

// Reads the options in args[at]: a long option, or a cluster of short ones ("-lq", "-dDIR").
// Moves `at` past what it used, the value of an option included.
std::string read_option(const std::vector<std::string>& args, std::size_t& at, options& chosen) {
  const std::string& arg = args[at++];
  if (arg.rfind("--", 0) == 0) {
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const option_row* known = find_long(name);
    if (known == nullptr) return "unknown option '--" + name + "'";
    if (known->argument.empty()) {
      if (equals != std::string::npos) return "option '--" + name + "' takes no value";
      return apply(*known, true, {}, chosen);
    }
    if (equals != std::string::npos) return apply(*known, true, arg.substr(equals + 1), chosen);
    if (at == args.size()) return "option '--" + name + "' needs " + std::string(known->argument);
    return apply(*known, true, args[at++], chosen);
  }
  for (std::size_t i = 1; i < arg.size(); ++i) {
    const option_row* known = find_short(arg[i]);
    if (known == nullptr) return std::string("unknown option '-") + arg[i] + "'";
    if (known->argument.empty()) {
      if (std::string wrong = apply(*known, false, {}, chosen); !wrong.empty()) return wrong;
      continue;
    }
    if (i + 1 < arg.size()) return apply(*known, false, arg.substr(i + 1), chosen);
    if (at == args.size()) return std::string("option '-") + arg[i] + "' needs " + std::string(known->argument);
    return apply(*known, false, args[at++], chosen);
  }
  return {};
}

bool looks_like_option(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

// What to say when no archive follows the options: -d may have taken the one meant.
std::string no_archive_error(const options& chosen) {
  if (!chosen.directory) return "no archive given";
  return "no archive given (" + chosen.directory_option + " took '" + *chosen.directory + "' as its directory)";
}

// What is wrong when an option that only extraction reads is given with `command` ("'-c'"), or
// an empty string. -i selects what --diff compares, but not what -c packs.
std::string extraction_options_given(const options& chosen, const char* command, bool includes_read) {
  const struct {
    bool given;
    const char* option;
  } extraction_only[] = {{chosen.directory.has_value(), "-d"},
                         {!includes_read && !chosen.includes.empty(), "-i"},
                         {chosen.no_overwrite, "-n"},
                         {chosen.no_table, "--no-table"},
                         {chosen.strip_components != 0, "--strip-components"}};
  for (const auto& o : extraction_only) {
    if (o.given) return std::string("'") + o.option + "' cannot be used with " + command;
  }
  return {};
}

// With -c: the one operand is the folder, and the options that select or place extracted entries
// have no meaning.
std::string take_folder(options& chosen) {
  if (std::string wrong = extraction_options_given(chosen, "'-c'", false); !wrong.empty()) return wrong;
  if (chosen.archives.size() != 1) {
    return chosen.archives.empty()
               ? "no folder given"
               : "'-c' takes one folder, not " + std::to_string(chosen.archives.size()) + " operands";
  }
  chosen.folder = chosen.archives.front();
  chosen.archives.clear();
  return {};
}

std::string options_not_for_create(const options& chosen) {
  if (chosen.like) return "'--like' needs '-c'";
  if (chosen.level) return "'--level' needs '-c'";
  if (chosen.sync) return "'--sync' needs '-c'";
  return {};
}

// With --diff: the two operands are the archives compared, and nothing is extracted.
std::string take_two_archives(const options& chosen) {
  if (std::string wrong = extraction_options_given(chosen, "'--diff'", true); !wrong.empty()) return wrong;
  if (chosen.archives.size() != 2) {
    return "'--diff' compares two archives, OLD and NEW, not " + std::to_string(chosen.archives.size());
  }
  return options_not_for_create(chosen);
}

}  // namespace

parsed_options parse_options(const std::vector<std::string>& args) {
  parsed_options parsed;
  options& chosen = parsed.chosen;
  if (args.empty()) {
    chosen.what = command::usage_text;
    return parsed;
  }
  std::size_t at = 0;
  while (at < args.size() && looks_like_option(args[at]) && args[at] != "--") {
    parsed.error = read_option(args, at, chosen);
    if (!parsed.error.empty()) return parsed;
    if (chosen.what == command::help || chosen.what == command::version) return parsed;
  }
  bool options_ended = false;
  for (; at < args.size(); ++at) {
    if (!options_ended && args[at] == "--") {
      options_ended = true;
    } else if (!options_ended && looks_like_option(args[at])) {
      // Taken as an archive, it would let `DarvEx file.dat -l` extract what the user meant to list.
      parsed.error =
          "option '" + args[at] + "' after an archive: options come first (use -- before an archive named so)";
      return parsed;
    } else {
      chosen.archives.push_back(args[at]);
    }
  }
  if (chosen.what == command::create) {
    parsed.error = take_folder(chosen);
  } else if (chosen.what == command::diff) {
    parsed.error = take_two_archives(chosen);
  } else if (chosen.json && chosen.what != command::list && chosen.what != command::test) {
    parsed.error = "'--json' goes with '-l', '-t', '-c' or '--diff'";
  } else if (std::string wrong = options_not_for_create(chosen); !wrong.empty()) {
    parsed.error = wrong;
  } else if (chosen.archives.empty()) {
    parsed.error = no_archive_error(chosen);
  }
  return parsed;
}

unsigned jobs_to_use(const options& chosen) {
  if (chosen.jobs != 0) return chosen.jobs;
  return std::clamp(std::thread::hardware_concurrency(), 1u, DEFAULT_JOBS_LIMIT);
}

}  // namespace darvex
