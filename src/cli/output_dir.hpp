#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "archive/archive.hpp"

namespace darvex {

// The archive's path less its last four bytes ("data/file.dat" gives "data/file"), or nothing
// when that leaves no directory name of its own.
std::optional<std::string> derive_output_dir(std::string_view archive_path);

// Fills state.output_dir, creates that directory (an existing one is reused) and enters it.
stage_result enter_output_dir(run_state& state);

}  // namespace darvex
