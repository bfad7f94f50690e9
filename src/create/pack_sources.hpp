#pragma once

// Where the bytes of a new archive come from: the folder's files and, with --like, the original
// archive. The writer (write_archive.hpp) copies from it; its workers (piece_maker.hpp) read and
// compress from it.

#include <string>
#include <vector>

#include "create/folder_scan.hpp"
#include "format/archive.hpp"
#include "platform/platform.hpp"

namespace darvex {

struct pack_sources {
  const platform::directory& folder;
  const std::string& folder_path;  // how messages name the folder
  const std::vector<source_file>& files;
  const archive_file* original = nullptr;
  const std::string* original_index = nullptr;  // the original's inflated index, without padding
};

}  // namespace darvex
