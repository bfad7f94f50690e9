#include <gtest/gtest.h>

#include <string>

#include "archive/archive.hpp"

namespace darvex {
namespace {

std::uint32_t read_from(const std::string& bytes) {
  byte_cursor cursor(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return read_be32(cursor);
}

TEST(ReadBe32, FirstByteIsMostSignificantAndBytesPastTheEndReadAsFF) {
  const struct {
    std::string bytes;
    std::uint32_t value;
  } cases[] = {
      {std::string("\x12\x34\x56\x78", 4), 0x12345678u}, {std::string("\x00\x00\x00\x01", 4), 1u},
      {std::string("\xFF\xFE\x80\x00", 4), 0xFFFE8000u}, {std::string("\x01\x02\x03\x04\x05", 5), 0x01020304u},
      {std::string("\x00\x00", 2), 0x0000FFFFu},         {std::string(), 0xFFFFFFFFu},
  };
  for (const auto& c : cases) EXPECT_EQ(read_from(c.bytes), c.value) << c.bytes.size() << " bytes";
}

}  // namespace
}  // namespace darvex
