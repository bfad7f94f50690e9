#include "index_peek.hpp"

#include <zlib.h>

#include <algorithm>

namespace darvex::test_support {
namespace {

constexpr std::size_t INDEX_BUFFER_SIZE = 524288;
constexpr std::uint32_t MAX_ENTRIES = 3500;

// Past its end, the index reads as 0xFF bytes; inside, zeros follow the inflated index.
unsigned byte_at(const std::string& bytes, std::size_t at) {
  return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0xFFu;
}

std::uint32_t be32_at(const std::string& bytes, std::size_t at) {
  return (byte_at(bytes, at) << 24) | (byte_at(bytes, at + 1) << 16) | (byte_at(bytes, at + 2) << 8) |
         byte_at(bytes, at + 3);
}

}  // namespace

std::optional<std::vector<peeked_record>> peek_index(const std::string& archive) {
  const std::size_t index_offset = be32_at(archive, 8);
  if (archive.size() < 12 || index_offset > archive.size()) return std::nullopt;
  std::string index(INDEX_BUFFER_SIZE, '\0');
  uLongf length = index.size();
  if (uncompress(reinterpret_cast<Bytef*>(index.data()), &length,
                 reinterpret_cast<const Bytef*>(archive.data() + index_offset),
                 archive.size() - index_offset) != Z_OK) {
    return std::nullopt;
  }
  const std::uint32_t count = be32_at(index, 6);
  if (count > MAX_ENTRIES) return std::nullopt;
  std::vector<peeked_record> records;
  for (std::size_t at = 26, i = 0; i < count; ++i) {
    const std::size_t name_length = byte_at(index, at);
    std::string name;
    for (std::size_t n = 0; n < name_length; ++n) name += static_cast<char>(byte_at(index, at + 1 + n));
    name.resize(std::min(name.size(), name.find('\0')));
    at += 1 + name_length;
    records.push_back({name, be32_at(index, at + 4)});
    at += 8 + 17;
  }
  return records;
}

}  // namespace darvex::test_support
