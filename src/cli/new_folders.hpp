#pragma once

// The folders a run makes for its output directory, so that a run that stops before its
// entries can take them back while they are still empty: a stopped run leaves nothing new.

#include <string>
#include <vector>

namespace darvex {

// The folders that making `path` (command-line text) goes through, outermost first: `path`
// itself and, when `with_parents`, each parent named in it ("a/b/c" gives "a", "a/b", "a/b/c").
// Empty, "." and ".." parts name nothing to make.
std::vector<std::string> folder_chain(const std::string& path, bool with_parents);

// Of folder_chain(path, with_parents), the folders that do not exist yet, outermost first:
// those that making the output directory will make.
std::vector<std::string> missing_folders(const std::string& path, bool with_parents);

// Removes `folders` (outermost first, as missing_folders gives them) from the innermost out,
// each only while it is empty; stops at the first that cannot be removed.
void remove_while_empty(const std::vector<std::string>& folders);

}  // namespace darvex
