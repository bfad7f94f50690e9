#include "cli/help.hpp"

#include <string>

#include "format/inflate.hpp"
#include "select/name_glob.hpp"

namespace darvex {
namespace {

// The help, in two parts around the sentence on how patterns treat case.
constexpr const char* HELP_BEFORE_GLOB_CASE =
    "DarvEx " DARVEX_VERSION
    " unpacks archives of zlib-compressed entries with an index at the end.\n"
    "\n"
    "Usage: DarvEx [OPTION]... ARCHIVE...\n"
    "       DarvEx -c FILE [--like ARCHIVE] [-x GLOB]... [-j N] [--level N] DIR\n"
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
    "back and checked before it replaces anything; it may be ARCHIVE.\n"
    "\n"
    "Options come before the first archive; -- ends them.\n"
    "  -l, --list            list each entry's inflated size, span (the bytes its compressed\n"
    "                        stream takes in the archive) and name; write nothing\n"
    "  -t, --test            inflate each entry in memory and check it; write nothing\n"
    "  -p, --to-stdout       write each entry's inflated bytes to standard output, in index\n"
    "                        order, and nothing to disk\n"
    "      --json            with -l, -t or -c: JSON Lines on standard output instead, an\n"
    "                        object for each entry and one for the archive\n"
    "  -d, --directory DIR   extract into DIR (made with any missing parents) instead of the\n"
    "                        directory named after the archive\n"
    "  -i, --include GLOB    only entries whose whole name matches GLOB (may be repeated)\n"
    "  -x, --exclude GLOB    no entry whose name matches GLOB (may be repeated; wins over -i);\n"
    "                        with -c, no file or record\n"
    "  -n, --no-overwrite    keep every file that existed before the run, table.bin included:\n"
    "                        such an entry is not read, and its line says so\n"
    "      --no-table        extract without leaving the inflated index as table.bin\n"
    "  -q, --quiet           print nothing on standard output (listings aside) and no progress\n"
    "                        at a terminal; errors are still shown\n"
    "  -j, --jobs N          work with N threads (default: one per hardware thread, at most 16)\n"
    "      --strip-components N\n"
    "                        drop the first N parts of every name; a name left with none is\n"
    "                        not extracted, listed or tested\n"
    "  -c, --create FILE     make the archive FILE from the folder DIR, the one operand\n"
    "      --like ARCHIVE    with -c: keep ARCHIVE's header, unread bytes and records, and the\n"
    "                        stored bytes of every entry whose file holds what it extracts to\n"
    "      --level N         with -c: compress at level N, 1 to 12 (1 to 9 in a build with\n"
    "                        zlib alone; default 6)\n"
    "  -h, --help            show this help\n"
    "  -V, --version         show the version, the inflater and zlib's version\n"
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
    "  0  every entry extracted, tested or listed exactly, or the archive made\n"
    "  1  the run finished, but some entries were refused, damaged or not written, an -i\n"
    "     pattern matched nothing, or standard output failed\n"
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
    "  DarvEx -c new.dat --like file.dat file\n";

}  // namespace

const char* help_text() {
  static const std::string text = std::string(HELP_BEFORE_GLOB_CASE) +
                                  (GLOB_IGNORES_CASE ? GLOB_CASE_IGNORED : GLOB_CASE_KEPT) + HELP_AFTER_GLOB_CASE;
  return text.c_str();
}

std::string version_text() {
  return "DarvEx " DARVEX_VERSION "\ninflater: " + inflater_name() + "\nzlib " + zlib_library_version() + "\n";
}

}  // namespace darvex
