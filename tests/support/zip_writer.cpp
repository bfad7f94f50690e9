#include "zip_writer.hpp"

#include <zlib.h>

#include <fstream>
#include <limits>
#include <stdexcept>

namespace darvex::test_support {
namespace {

constexpr std::uint32_t LOCAL_HEADER_SIGNATURE = 0x04034b50;
constexpr std::uint32_t CENTRAL_HEADER_SIGNATURE = 0x02014b50;
constexpr std::uint32_t END_SIGNATURE = 0x06054b50;
constexpr std::uint16_t VERSION_NEEDED = 20;              // 2.0: deflate
constexpr std::uint16_t VERSION_MADE_BY = (3 << 8) | 20;  // Unix, 2.0: the mode is in the attributes
constexpr std::uint16_t METHOD_DEFLATE = 8;
constexpr std::uint16_t DOS_DATE = ((2024 - 1980) << 9) | (1 << 5) | 1;
constexpr std::uint32_t REGULAR_FILE_ATTRIBUTES = 0100644u << 16;
constexpr std::size_t MAX_MEMBERS = 0xFFFF;

void append_le16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

void append_le32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

std::uint32_t fit32(std::uint64_t value) {
  if (value > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("zip too large without zip64");
  return static_cast<std::uint32_t>(value);
}

// The fields local and central headers share: version needed to the name's and extra's lengths.
void append_common_fields(std::string& out, const zip_member& member) {
  append_le16(out, VERSION_NEEDED);
  append_le16(out, 0);  // flags
  append_le16(out, METHOD_DEFLATE);
  append_le16(out, 0);  // time: midnight
  append_le16(out, DOS_DATE);
  append_le32(out, member.crc);
  append_le32(out, fit32(member.deflated.size()));
  append_le32(out, member.size);
  append_le16(out, static_cast<std::uint16_t>(member.name.size()));
  append_le16(out, 0);  // no extra field
}

void append_local_header(std::string& out, const zip_member& member) {
  append_le32(out, LOCAL_HEADER_SIGNATURE);
  append_common_fields(out, member);
  out += member.name;
}

void append_central_header(std::string& out, const zip_member& member, std::uint32_t local_offset) {
  append_le32(out, CENTRAL_HEADER_SIGNATURE);
  append_le16(out, VERSION_MADE_BY);
  append_common_fields(out, member);
  append_le16(out, 0);  // no comment
  append_le16(out, 0);  // disk number
  append_le16(out, 0);  // internal attributes
  append_le32(out, REGULAR_FILE_ATTRIBUTES);
  append_le32(out, local_offset);
  out += member.name;
}

void append_end_record(std::string& out, std::size_t members, std::uint64_t directory_offset) {
  const std::uint32_t directory_size = fit32(out.size() - directory_offset);
  append_le32(out, END_SIGNATURE);
  append_le16(out, 0);  // this disk
  append_le16(out, 0);  // the directory's disk
  append_le16(out, static_cast<std::uint16_t>(members));
  append_le16(out, static_cast<std::uint16_t>(members));
  append_le32(out, directory_size);
  append_le32(out, fit32(directory_offset));
  append_le16(out, 0);  // no comment
}

struct deflate_stream {
  z_stream stream{};
  deflate_stream() {
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      throw std::runtime_error("deflateInit2 failed");
    }
  }
  ~deflate_stream() { deflateEnd(&stream); }
  deflate_stream(const deflate_stream&) = delete;
  deflate_stream& operator=(const deflate_stream&) = delete;
};

}  // namespace

std::string deflate_raw(std::string_view data) {
  deflate_stream raw;
  std::string out(deflateBound(&raw.stream, static_cast<uLong>(data.size())), '\0');
  raw.stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  raw.stream.avail_in = static_cast<uInt>(data.size());
  raw.stream.next_out = reinterpret_cast<Bytef*>(out.data());
  raw.stream.avail_out = static_cast<uInt>(out.size());
  if (deflate(&raw.stream, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate failed");
  out.resize(raw.stream.total_out);
  return out;
}

zip_member zip_member_of(std::string name, std::string_view data) {
  const auto crc = crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
  return {std::move(name), deflate_raw(data), static_cast<std::uint32_t>(crc), fit32(data.size())};
}

std::string zip_bytes(const std::vector<zip_member>& members) {
  if (members.size() > MAX_MEMBERS) throw std::length_error("too many zip members without zip64");
  std::string out;
  std::vector<std::uint32_t> local_offsets;
  for (const zip_member& member : members) {
    if (member.name.size() > 0xFFFF) throw std::length_error("zip member name too long");
    local_offsets.push_back(fit32(out.size()));
    append_local_header(out, member);
    out += member.deflated;
  }
  const std::uint64_t directory_offset = out.size();
  for (std::size_t i = 0; i < members.size(); ++i) append_central_header(out, members[i], local_offsets[i]);
  append_end_record(out, members.size(), directory_offset);
  return out;
}

void write_zip(const std::string& path, const std::vector<zip_member>& members) {
  const std::string bytes = zip_bytes(members);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace darvex::test_support
