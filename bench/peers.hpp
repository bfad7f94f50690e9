#pragma once

// The zip extractors on this machine that the tool is compared with: bsdtar, 7z, unzip and
// Python's zipfile, each run as a user runs it to extract a whole zip into the current
// directory.

#include <string>
#include <vector>

namespace darvex::bench {

struct peer {
  std::string label;                 // "bsdtar -xf"
  std::vector<std::string> command;  // its program's full path first, the zip last but for python's "."
};

struct peer_search {
  std::vector<peer> found;
  std::vector<std::string> missing;  // one note for each peer not installed
};

// `program`'s full path on PATH, or "" when it is not there.
std::string program_on_path(const std::string& program);

// The peers installed here, each to extract `zip` (a path relative to where it runs); Python's
// zipfile only `with_python` (it takes minutes on large sets).
peer_search find_peers(const std::string& zip, bool with_python = true);

}  // namespace darvex::bench
