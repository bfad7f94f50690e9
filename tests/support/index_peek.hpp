#pragma once

// An archive's index records read independently of the tool, for harnesses that check what a
// run may have written.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace darvex::test_support {

struct peeked_record {
  std::string name;  // up to its first zero byte, as the tool uses it
  std::uint32_t size;
};

// The records of the archive's index, as the tool parses them (the index inflated into 524,288
// bytes, zeros after it, 0xFF past the end); nothing when the index does not inflate or lists
// more entries than the tool's table holds.
std::optional<std::vector<peeked_record>> peek_index(const std::string& archive);

}  // namespace darvex::test_support
