#pragma once

// The fuzzer's seed archives, made with the test-archive writer: valid archives, hostile names,
// offsets out of order, sizes and counts at and past the limits, damaged streams, gaps and
// tails. Kept small (a few KiB each) so that every fuzz run stays cheap; the tests use them too.

#include <string>
#include <utility>
#include <vector>

#include "archive_writer.hpp"

namespace darvex::test_support {

// Each seed with its name ("valid", "hostile_names", ...).
std::vector<std::pair<std::string, test_archive>> seed_archives();

}  // namespace darvex::test_support
