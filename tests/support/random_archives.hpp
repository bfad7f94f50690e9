#pragma once

// Random archives for differential and round-trip tests: up to 40 entries named from a small
// pool (so that some repeat, some differ only in case, some are refused or need a folder), of
// text-like, binary or incompressible contents, now and then damaged (a flipped byte, a cut
// stream, a wrong size), with now and then a span read twice or an offset past the index.

#include <random>
#include <string>
#include <vector>

#include "archive_writer.hpp"

namespace darvex::test_support {

// Names drawn from a small pool (see above).
extern const std::vector<std::string> NAME_POOL;

std::string random_contents(std::mt19937& random);
test_archive random_archive(std::mt19937& random);

}  // namespace darvex::test_support
