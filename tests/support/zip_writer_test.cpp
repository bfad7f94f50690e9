#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "zip_writer.hpp"

namespace darvex::test_support {
namespace {

std::uint32_t le(const std::string& bytes, std::size_t at, int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
  return value;
}

std::string inflate_raw(const std::string& deflated, std::size_t size) {
  z_stream stream{};
  EXPECT_EQ(inflateInit2(&stream, -MAX_WBITS), Z_OK);
  std::string out(size + 1, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
  stream.avail_in = static_cast<uInt>(deflated.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  inflateEnd(&stream);
  return out;
}

struct read_member {
  std::string name;
  std::string data;
};

// Reads a zip as an extractor does: the end record, then each central header and the local
// header it points at, checking the fields the two hold in common.
std::vector<read_member> read_zip(const std::string& zip) {
  constexpr std::size_t END_SIZE = 22;
  const std::size_t end = zip.size() - END_SIZE;
  EXPECT_EQ(le(zip, end, 4), 0x06054b50u);
  const std::uint32_t count = le(zip, end + 10, 2);
  EXPECT_EQ(le(zip, end + 8, 2), count);
  std::size_t at = le(zip, end + 16, 4);
  EXPECT_EQ(at + le(zip, end + 12, 4), end);
  std::vector<read_member> members;
  for (std::uint32_t i = 0; i < count; ++i) {
    EXPECT_EQ(le(zip, at, 4), 0x02014b50u);
    EXPECT_EQ(le(zip, at + 4, 2) >> 8, 3u) << "made on Unix, so the mode counts";
    EXPECT_EQ(le(zip, at + 38, 4) >> 16, 0100644u);
    const std::size_t name_length = le(zip, at + 28, 2);
    const std::size_t local = le(zip, at + 42, 4);
    EXPECT_EQ(le(zip, local, 4), 0x04034b50u);
    EXPECT_EQ(zip.substr(local + 4, 26), zip.substr(at + 6, 26)) << "local and central fields differ";
    const std::string name = zip.substr(at + 46, name_length);
    EXPECT_EQ(zip.substr(local + 30, name_length), name);
    EXPECT_EQ(le(zip, at + 10, 2), 8u);
    const std::string deflated = zip.substr(local + 30 + name_length, le(zip, at + 20, 4));
    const std::string data = inflate_raw(deflated, le(zip, at + 24, 4));
    EXPECT_EQ(crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())),
              le(zip, at + 16, 4));
    members.push_back({name, data});
    at += 46 + name_length;
  }
  EXPECT_EQ(at, end);
  return members;
}

TEST(ZipWriter, MembersReadBackWithTheirNamesAndBytes) {
  const std::vector<std::vector<read_member>> cases = {
      {},
      {{"empty", ""}},
      {{"readme.txt", text_like(5000, 1)}},
      {{"noise.png", incompressible(200000, 2)}, {"a", "x"}, {std::string(200, 'n'), binary_like(70000, 3)}},
  };
  for (const std::vector<read_member>& wanted : cases) {
    std::vector<zip_member> members;
    for (const read_member& m : wanted) members.push_back(zip_member_of(m.name, m.data));
    const std::vector<read_member> got = read_zip(zip_bytes(members));
    ASSERT_EQ(got.size(), wanted.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].name, wanted[i].name);
      EXPECT_EQ(got[i].data, wanted[i].data) << wanted[i].name;
    }
  }
}

// A zip member and an archive entry of the same bytes carry the same deflate data, so an
// extractor of either has the same inflating to do.
TEST(ZipWriter, DeflatesAsTheArchiveWriterDoes) {
  for (const std::string& data : {std::string(), text_like(100000, 4), incompressible(30000, 5)}) {
    const std::string wrapped = zlib_compress(data);
    EXPECT_EQ(deflate_raw(data), wrapped.substr(2, wrapped.size() - 6));
  }
}

}  // namespace
}  // namespace darvex::test_support
