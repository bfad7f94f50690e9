#include "cli/help.hpp"

#include <string>
#include <string_view>

#include "cli/option_table.hpp"
#include "format/inflate.hpp"
#include "select/name_glob.hpp"

namespace darvex {
namespace {

// The help: this, the option list made from the table, what follows it, the sentence on how
// patterns treat case, and the rest.
constexpr const char* HELP_BEFORE_OPTIONS =
    "DarvEx " DARVEX_VERSION
    " unpacks archives of zlib-compressed entries with an index at the end.\n"
    "\n"
    "Usage: DarvEx [OPTION]... ARCHIVE...\n"
    "       DarvEx -c FILE [--like ARCHIVE [--sync]] [-x GLOB]... [-j N] [--level N] DIR\n"
    "       DarvEx --diff [--json] [-i GLOB]... [-x GLOB]... OLD NEW\n"
    "\n"
    "Without options, each ARCHIVE (say file.dat) is extracted into the directory named after it\n"
    "less its last four characters (file), made beside it: every entry becomes a file there, in\n"
    "folders for names with directory parts (data\\tex\\rock.dds is data/tex/rock.dds, '\\' and\n"
    "'/' alike on every system; a name that ends in one is a folder), the inflated index is left\n"
    "there as table.bin, and a line is printed for each entry.\n"
    "\n"
    "With -c, the folder DIR is packed into the new archive FILE: the records of DIR's\n"
    "table.bin (or of ARCHIVE's index, with --like) in their order, then every file they do\n"
    "not name. With --like, every byte of ARCHIVE that no changed file replaces is kept, so\n"
    "that an untouched extraction packs back to ARCHIVE itself. FILE is written whole, read\n"
    "back, checked and synced to the disk before it replaces anything; it may be ARCHIVE.\n"
    "Each record's line says what became of it: kept, kept: no file, kept: damaged, new,\n"
    "added, or with --sync dropped: no file.\n"
    "\n"
    "With --diff, the archives OLD and NEW are compared entry by entry by stored name: the\n"
    "entries added, removed and changed (their inflated bytes differ), then how many are the\n"
    "same.\n"
    "\n"
    "Options come before the first archive; -- ends them.\n";

// What follows the option list, up to the sentence on how patterns treat case.
constexpr const char* HELP_AFTER_OPTIONS =
    "\n"
    "In GLOB, * matches any run of characters, / and \\ included; ? one character; [...] one\n"
    "character of a class ([a-z], [!0-9]); / and \\ match each other. A GLOB without wildcards\n"
    "also takes everything in the folder it names (-i data/tex).";

constexpr const char* GLOB_CASE_IGNORED = " Letters match in either case, as Windows file names do.\n";
constexpr const char* GLOB_CASE_KEPT = " Matching is case-sensitive.\n";

constexpr const char* HELP_AFTER_GLOB_CASE =
    "\n"
    "Nothing is ever written outside the output directory: names that would leave it are\n"
    "refused, and links found there are replaced, never followed. Each file is written under a\n"
    "temporary name and renamed into place when whole, so that an interrupted run leaves no\n"
    "part of one.\n"
    "\n"
    "Exit status:\n"
    "  0  every entry extracted, tested or listed exactly, the archive made, or the two\n"
    "     archives compared hold the same\n"
    "  1  the run finished, but some entries were refused, damaged or not written (or kept\n"
    "     damaged by -c), an -i pattern matched nothing, standard output failed, or the two\n"
    "     archives compared differ\n"
    "  2  the run stopped before its entries (archive or index unreadable, no output\n"
    "     directory), the archive could not be made, or the command line is wrong\n"
    "  128+N  interrupted by signal N (130: Ctrl-C); the entries in flight were finished\n"
    "With several archives, each is handled as if alone and the highest status is returned.\n"
    "\n"
    "Examples:\n"
    "  DarvEx file.dat                    extract into file/\n"
    "  DarvEx -l file.dat                 see what file.dat holds\n"
    "  DarvEx -t *.dat                    check every archive here\n"
    "  DarvEx -d out -i '*.xml' file.dat  extract only the XML entries, into out/\n"
    "  DarvEx -n file.dat                 add what is missing, keep every file already there\n"
    "  DarvEx -p -i readme.txt file.dat   print one entry, write nothing\n"
    "  DarvEx -l --json file.dat          list for a script: one JSON object a line\n"
    "  DarvEx file.dat                    then change a file in file/, and put it back:\n"
    "  DarvEx -c new.dat --like file.dat file\n"
    "  DarvEx --diff file.dat new.dat     see what the new archive changed\n";

// The column where an option's help lines start; a name that leaves less than two spaces before
// it has its line to itself.
constexpr std::size_t HELP_COLUMN = 24;

// "  -d, --directory DIR" or "      --json": an option's name as the list shows it.
std::string option_names(const option_row& row) {
  std::string names = "  ";
  if (row.short_name == LONG_ONLY) {
    names += "    ";
  } else {
    names += {'-', row.short_name, ',', ' '};
  }
  names += "--";
  names += row.long_name;
  if (!row.argument.empty()) {
    names += ' ';
    names += row.argument;
  }
  return names;
}

// The option list: each option's names, then its help lines from HELP_COLUMN on.
std::string option_list() {
  const std::string indent(HELP_COLUMN, ' ');
  std::string list;
  for (const option_row& row : OPTION_TABLE) {
    std::string names = option_names(row);
    names += names.size() + 2 <= HELP_COLUMN ? std::string(HELP_COLUMN - names.size(), ' ') : "\n" + indent;
    list += names;
    for (const char c : row.help) list += c == '\n' ? "\n" + indent : std::string(1, c);
    list += '\n';
  }
  return list;
}

}  // namespace

const char* help_text() {
  static const std::string text = HELP_BEFORE_OPTIONS + option_list() + HELP_AFTER_OPTIONS +
                                  (GLOB_IGNORES_CASE ? GLOB_CASE_IGNORED : GLOB_CASE_KEPT) + HELP_AFTER_GLOB_CASE;
  return text.c_str();
}

std::string version_text() {
  return "DarvEx " DARVEX_VERSION "\ninflater: " + inflater_name() + "\nzlib " + zlib_library_version() + "\n";
}

}  // namespace darvex
