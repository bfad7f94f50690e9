#pragma once

// What the tool prints, as the black-box tests expect it. The version is project()'s, handed
// to the tests by the build as DARVEX_VERSION, as it is to the tool.

#include <string>
#include <vector>

#ifndef DARVEX_VERSION
#error "DARVEX_VERSION must be defined by the build"
#endif

namespace darvex::test_support {

// What stdout shows for a run that reaches the entry stage: a blank line, a line for each entry
// ("file\a.txt"), then the closing words, with no newline after them.
inline std::string progress(const std::string& output_dir, const std::vector<std::string>& names) {
  std::string out = "\n";
  for (const std::string& name : names) out += output_dir + "\\" + name + "\n";
  return out + "Extracion Complete";
}

}  // namespace darvex::test_support
