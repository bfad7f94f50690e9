#pragma once

// Writes zip files (deflated members, no zip64) from names and bytes, so that the benchmark can
// hand the zip extractors on the machine the same contents the tool extracts. Test support only.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace darvex::test_support {

// The raw deflate stream (RFC 1951) of `data`, at zlib's default level: the same deflate
// data that zlib_compress wraps.
std::string deflate_raw(std::string_view data);

struct zip_member {
  std::string name;
  std::string deflated;    // the member's raw deflate stream
  std::uint32_t crc = 0;   // CRC-32 of the inflated bytes
  std::uint32_t size = 0;  // the inflated size
};

// A member holding `data`, deflated.
zip_member zip_member_of(std::string name, std::string_view data);

// The whole zip: each member's local header and data, then the central directory. Members
// are regular files, mode 0644, dated 2024-01-01. Throws when the members do not fit a zip
// without zip64 extensions (65,535 members, 4 GiB).
std::string zip_bytes(const std::vector<zip_member>& members);

// Writes zip_bytes(members) to `path`.
void write_zip(const std::string& path, const std::vector<zip_member>& members);

}  // namespace darvex::test_support
