#pragma once

// Random archives for differential and round-trip tests: up to 40 entries named from a small
// pool (so that some repeat, some differ only in case, some are refused or need a folder), of
// text-like, binary or incompressible contents, now and then damaged (a flipped byte, a cut
// stream, a wrong size), with now and then a span read twice or an offset past the index; and
// a few entries of names that touch one another, the first ones large.

#include <random>
#include <string>
#include <vector>

#include "archive_writer.hpp"

namespace darvex::test_support {

// Names drawn from a small pool (see above).
extern const std::vector<std::string> NAME_POOL;

std::string random_contents(std::mt19937& random);
test_archive random_archive(std::mt19937& random);

// Names that touch: one file in other spellings ('/' or '\\', another case, a trailing dot, as
// Windows reads them), a name and a folder of that name, deeper and shallower names, folder
// entries (a trailing separator). Two families: no name of one touches a name of the other.
extern const std::vector<std::vector<std::string>> TOUCHING_NAME_FAMILIES;
// Names of which no two touch by any system's rules (some share a folder): the control.
extern const std::vector<std::string> SEPARATE_NAME_POOL;

// The bytes of entry `position` (counted from 1) named `name`: "entry 3 (a\\b)\n" again and
// again, `length` bytes long; every entry's own, so that a file shows which entry it holds.
std::string entry_bytes(std::size_t position, const std::string& name, std::size_t length);

// 6 to 10 entries, the first one or two files inside a folder of 8 to 12 MB that inflate fast,
// so that with several workers the small ones after them finish first, the rest small (folder
// entries hold nothing); now and then an entry's stream is cut short. Their names are drawn
// from one family of touching names, or both (again and again), or from the separate names
// (each once at most).
test_archive touching_names_archive(std::mt19937& random);
test_archive separate_names_archive(std::mt19937& random);

}  // namespace darvex::test_support
