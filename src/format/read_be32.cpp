#include "format/archive.hpp"

namespace darvex {

std::uint32_t read_be32(byte_cursor& bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = (value << 8) | bytes.next();
  return value;
}

void write_be32(std::uint32_t value, unsigned char* out) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

}  // namespace darvex
