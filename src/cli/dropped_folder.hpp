#pragma once

// A folder dropped onto the executable (the one argument, in a console of the tool's own) is
// packed back into the archive it came from, as `DarvEx -c ARCHIVE --like ARCHIVE FOLDER` would:
// the one file beside it whose name less its last four characters is the folder's name (the
// folder extraction makes from it), written whole and read back before it replaces anything,
// and the archive it replaces kept once as ARCHIVE.bak (a backup already there is never
// overwritten). With no such file it packs into FOLDER.dat from the folder's table.bin; with
// several it names them and writes nothing. From a console, a folder given as an archive stays
// an error, whose message shows the command that packs it.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.hpp"
#include "cli/console.hpp"
#include "cli/exit_status.hpp"

namespace darvex {

// The archive a folder packs back into, among the regular files beside it.
struct archive_choice {
  std::vector<std::string> archives;  // the files whose name less four characters is the folder's: sorted
  std::string fallback;               // FOLDER.dat, for when there is none
};

// The files among `files` (names in the folder that holds the folder `folder_name`) that the
// folder may have been extracted from; names compared as this system compares file names.
archive_choice choose_archive(std::string_view folder_name, const std::vector<std::string>& files);

// What a run in a console of its own does with `args`: a lone folder is packed back; anything
// else runs as from a console.
int run_from_own_console(const std::vector<std::string>& args);

// What packs a folder: run_create, or in a test one that also fails or is stopped once done.
using create_runner = std::function<exit_status(const options& chosen, console& screen, bool& in_place)>;

// Packs the folder at `folder_path` back into its archive, as above, through `create`.
// `in_place` says whether the new archive took its name.
exit_status pack_dropped_folder(const std::string& folder_path, console& screen, bool& in_place,
                                const create_runner& create = run_create);

// Whether `path` is a folder.
bool is_folder(const std::string& path);

// The command that packs the folder at `folder_path` back, for a message:
// `DarvEx -c A.dat --like A.dat A`, or without --like where no archive lies beside it.
std::string packing_command(const std::string& folder_path);

// `failure` to open an archive, saying for a folder the command that packs it: "cannot open:
// Is a directory (to pack the folder: DarvEx -c A.dat --like A.dat A)". Other problems as they are.
problem with_packing_command(problem failure);

}  // namespace darvex
