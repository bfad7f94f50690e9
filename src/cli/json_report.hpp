#pragma once

// --json: a command's entries as JSON Lines on standard output instead of its lines. One object
// an entry, in index order:
//
//   {"entry":3,"name":"a.bin","size":5000,"offset":12,"span":1201,"status":"damaged","reason":"..."}
//
// with "name_bytes" (the stored bytes in hex) after the name when the name is not UTF-8 (on
// Windows: not text in the ANSI code page), the name then holding U+FFFD for each bad byte
// (with --codepage: the name is its text in that code page, and "name_bytes" is there whenever
// the stored bytes are not that text's UTF-8);
// "span" null when the span runs backwards; "reason" only when "status" is not "ok". Then one
// object for the archive: {"archive":"file.dat","entries":3,"size":8008,"span":3000,"failed":1}.
// Messages stay on standard error as they are, and the exit status is the command's. A run that
// stops before its entries writes no line at all: its message and status 2 say why.

#include <string>

#include "cli/archive_command.hpp"
#include "cli/json_line.hpp"

namespace darvex {

// Adds "name", read by `names`, and "name_bytes" where it does not give the stored bytes, as
// described above.
void add_stored_name(json_object& object, const std::string& stored, const name_encoding& names);

// Runs `command` on the archive as run_archive_command does; with --json, its lines are the
// JSON Lines above.
exit_status run_with_chosen_report(archive_command& command, const options& chosen, const std::string& archive_path,
                                   console& screen);

}  // namespace darvex
