#include "archive/archive.hpp"

namespace darvex {

std::uint32_t read_be32(std::FILE* stream) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    // EOF (-1) keeps its low eight bits: a read past the end gives 0xFF.
    value = (value << 8) | static_cast<unsigned char>(std::fgetc(stream));
  }
  return value;
}

}  // namespace darvex
