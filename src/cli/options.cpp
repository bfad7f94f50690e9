#include "cli/options.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <thread>
#include <utility>

#include "archive/deflate.hpp"

namespace darvex {
namespace {

constexpr unsigned DEFAULT_JOBS_LIMIT = 16;

enum class option_id {
  list,
  test,
  directory,
  include,
  exclude,
  no_overwrite,
  quiet,
  jobs,
  strip_components,
  create,
  like,
  level,
  help,
  version
};

struct known_option {
  option_id id;
  char short_name;  // '\0' for an option that has only its long name
  std::string_view long_name;
  const char* value_name;  // nullptr for an option that takes no value
};

constexpr std::array<known_option, 14> OPTIONS{{
    {option_id::list, 'l', "list", nullptr},
    {option_id::test, 't', "test", nullptr},
    {option_id::directory, 'd', "directory", "DIR"},
    {option_id::include, 'i', "include", "GLOB"},
    {option_id::exclude, 'x', "exclude", "GLOB"},
    {option_id::no_overwrite, 'n', "no-overwrite", nullptr},
    {option_id::quiet, 'q', "quiet", nullptr},
    {option_id::jobs, 'j', "jobs", "N"},
    {option_id::strip_components, '\0', "strip-components", "N"},
    {option_id::create, 'c', "create", "FILE"},
    {option_id::like, '\0', "like", "ARCHIVE"},
    {option_id::level, '\0', "level", "N"},
    {option_id::help, 'h', "help", nullptr},
    {option_id::version, 'V', "version", nullptr},
}};

const known_option* find_short(char name) {
  if (name == '\0') return nullptr;
  const auto found =
      std::find_if(OPTIONS.begin(), OPTIONS.end(), [&](const known_option& o) { return o.short_name == name; });
  return found == OPTIONS.end() ? nullptr : &*found;
}

const known_option* find_long(std::string_view name) {
  const auto found =
      std::find_if(OPTIONS.begin(), OPTIONS.end(), [&](const known_option& o) { return o.long_name == name; });
  return found == OPTIONS.end() ? nullptr : &*found;
}

std::string shown(const known_option& known, bool as_long) {
  return as_long ? "'--" + std::string(known.long_name) + "'" : std::string("'-") + known.short_name + "'";
}

// The whole of `value` as a number from `low` to `high`, or nothing.
std::optional<unsigned> number_in(const std::string& value, unsigned low, unsigned high) {
  unsigned number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (error != std::errc() || end != value.data() + value.size() || number < low || number > high) return std::nullopt;
  return number;
}

// Sets `field` from an option's numeric value; returns what is wrong with it, or an empty string.
std::string apply_number(const known_option& known, bool as_long, const std::string& value, const char* counted,
                         unsigned low, unsigned high, unsigned& field) {
  const std::optional<unsigned> number = number_in(value, low, high);
  if (!number) {
    return "option " + shown(known, as_long) + " takes a number of " + counted + " from " + std::to_string(low) +
           " to " + std::to_string(high) + ", not '" + value + "'";
  }
  field = *number;
  return {};
}

char command_letter(command what) { return what == command::list ? 'l' : what == command::test ? 't' : 'c'; }

// Two commands given at once, named in one order whichever came first.
std::string together(command a, command b) {
  constexpr std::string_view ORDER = "ltc";
  char first = command_letter(a), second = command_letter(b);
  if (ORDER.find(first) > ORDER.find(second)) std::swap(first, second);
  return std::string("'-") + first + "' and '-" + second + "' cannot be used together";
}

// Applies one option to `chosen`; returns what is wrong with it, or an empty string.
std::string apply(const known_option& known, bool as_long, const std::string& value, options& chosen) {
  const auto set_command = [&](command what) -> std::string {
    if (chosen.what != command::extract && chosen.what != what) return together(chosen.what, what);
    chosen.what = what;
    return {};
  };
  switch (known.id) {
    case option_id::list:
      return set_command(command::list);
    case option_id::test:
      return set_command(command::test);
    case option_id::no_overwrite:
      chosen.no_overwrite = true;
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
      break;
    case option_id::jobs:
      return apply_number(known, as_long, value, "jobs", 1, MAX_JOBS, chosen.jobs);
    case option_id::strip_components:
      return apply_number(known, as_long, value, "name parts", 0, MAX_STRIPPED_PARTS, chosen.strip_components);
    case option_id::create:
      if (value.empty()) return "option " + shown(known, as_long) + " needs a file name";
      chosen.created = value;
      return set_command(command::create);
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
    const known_option* known = find_long(name);
    if (known == nullptr) return "unknown option '--" + name + "'";
    if (known->value_name == nullptr) {
      if (equals != std::string::npos) return "option '--" + name + "' takes no value";
      return apply(*known, true, {}, chosen);
    }
    if (equals != std::string::npos) return apply(*known, true, arg.substr(equals + 1), chosen);
    if (at == args.size()) return "option '--" + name + "' needs " + known->value_name;
    return apply(*known, true, args[at++], chosen);
  }
  for (std::size_t i = 1; i < arg.size(); ++i) {
    const known_option* known = find_short(arg[i]);
    if (known == nullptr) return std::string("unknown option '-") + arg[i] + "'";
    if (known->value_name == nullptr) {
      if (std::string wrong = apply(*known, false, {}, chosen); !wrong.empty()) return wrong;
      continue;
    }
    if (i + 1 < arg.size()) return apply(*known, false, arg.substr(i + 1), chosen);
    if (at == args.size()) return std::string("option '-") + arg[i] + "' needs " + known->value_name;
    return apply(*known, false, args[at++], chosen);
  }
  return {};
}

bool looks_like_option(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

// With -c: the one operand is the folder, and the options that select or place extracted entries
// have no meaning.
std::string take_folder(options& chosen) {
  const struct {
    bool given;
    const char* option;
  } extraction_only[] = {{chosen.directory.has_value(), "-d"},
                         {!chosen.includes.empty(), "-i"},
                         {chosen.no_overwrite, "-n"},
                         {chosen.strip_components != 0, "--strip-components"}};
  for (const auto& o : extraction_only) {
    if (o.given) return std::string("'") + o.option + "' cannot be used with '-c'";
  }
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
  return {};
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
  parsed.error = chosen.what == command::create ? take_folder(chosen) : options_not_for_create(chosen);
  if (parsed.error.empty() && chosen.archives.empty() && chosen.what != command::create) {
    parsed.error = "no archive given";
  }
  return parsed;
}

unsigned jobs_to_use(const options& chosen) {
  if (chosen.jobs != 0) return chosen.jobs;
  return std::clamp(std::thread::hardware_concurrency(), 1u, DEFAULT_JOBS_LIMIT);
}

}  // namespace darvex
