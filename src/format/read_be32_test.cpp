#include <gtest/gtest.h>

#include <string>

#include "format/archive.hpp"

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

TEST(WriteBe32, WritesTheMostSignificantByteFirstAndReadsBack) {
  for (const std::uint32_t value : {0u, 1u, 0x12345678u, 0xFFFE8000u, 0xFFFFFFFFu}) {
    unsigned char bytes[4];
    write_be32(value, bytes);
    EXPECT_EQ(bytes[0], value >> 24) << value;
    EXPECT_EQ(read_from(std::string(reinterpret_cast<const char*>(bytes), 4)), value);
  }
}

}  // namespace
}  // namespace darvex
