#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "format/inflate.hpp"

namespace darvex {
namespace {

using test_support::zlib_compress;

struct outcome {
  inflate_outcome kind;
  std::string bytes;  // the bytes produced
};

// Inflates into a buffer first filled with a marker, so that stale bytes would show.
template <typename inflate_function>
outcome inflate_with(inflate_function&& inflate, const std::string& stream, std::size_t room) {
  std::vector<unsigned char> destination(room + 1, 0xA5);
  const auto* source = reinterpret_cast<const unsigned char*>(stream.data());
  const inflate_result result = inflate(destination.data(), room, source, stream.size());
  EXPECT_LE(result.produced, room);
  return {result.outcome, std::string(destination.begin(), destination.begin() + result.produced)};
}

// zlib's one-shot uncompress, the reference for the bytes.
std::string uncompressed_bytes(const std::string& stream, std::size_t room) {
  std::vector<unsigned char> destination(room + 1);
  uLongf length = room;
  uncompress(destination.data(), &length, reinterpret_cast<const Bytef*>(stream.data()), stream.size());
  return std::string(destination.begin(), destination.begin() + length);
}

// The inflater the reader uses (one reused for every stream, as a worker does) gives the
// outcome and bytes of zlib alone, and uncompress's bytes; returns them.
outcome expect_zlib_result(const std::string& stream, std::size_t room) {
  static inflater reused;
  const outcome reference = inflate_with(inflate_with_zlib, stream, room);
  const outcome used = inflate_with(
      [](unsigned char* d, std::size_t r, const unsigned char* s, std::size_t n) { return reused.inflate(d, r, s, n); },
      stream, room);
  EXPECT_EQ(used.kind, reference.kind);
  EXPECT_EQ(used.bytes.size(), reference.bytes.size());
  EXPECT_TRUE(used.bytes == reference.bytes);
  EXPECT_TRUE(reference.bytes == uncompressed_bytes(stream, room));
  return used;
}

const std::string TEXT = test_support::text_like(100000, 1);
const std::string BINARY = test_support::binary_like(50000, 2);
const std::string NOISE = test_support::incompressible(70000, 3);  // stored blocks
const std::string TEXT_STREAM = zlib_compress(TEXT);

std::string with_byte(std::string stream, std::size_t at, char value) {
  stream[at] = value;
  return stream;
}
std::string flipped(std::string stream, std::size_t at) {
  stream[at] = static_cast<char>(stream[at] ^ 0x10);
  return stream;
}
std::string cut(const std::string& stream, std::size_t length) { return stream.substr(0, length); }

struct inflate_case {
  const char* what;
  std::string stream;
  std::size_t room;
  inflate_outcome kind;
  std::size_t produced;  // how many bytes zlib gives, or SOME for "fewer than the data"
};

constexpr std::size_t SOME = static_cast<std::size_t>(-1);
constexpr inflate_outcome COMPLETE = inflate_outcome::complete;
constexpr inflate_outcome LONGER = inflate_outcome::longer_than_recorded;
constexpr inflate_outcome DAMAGED = inflate_outcome::damaged;
constexpr inflate_outcome TRUNCATED = inflate_outcome::truncated;

std::vector<inflate_case> inflate_cases() {
  const std::size_t n = TEXT.size();
  const std::string& s = TEXT_STREAM;
  return {
      {"text into its exact size", s, n, COMPLETE, n},
      {"binary into its exact size", zlib_compress(BINARY), BINARY.size(), COMPLETE, BINARY.size()},
      {"stored blocks into their exact size", zlib_compress(NOISE), NOISE.size(), COMPLETE, NOISE.size()},
      {"short: room to spare", s, n + 4096, COMPLETE, n},
      {"empty data into no room", zlib_compress(""), 0, COMPLETE, 0},
      {"empty data into some room", zlib_compress(""), 64, COMPLETE, 0},
      {"over-long by one byte", s, n - 1, LONGER, n - 1},
      {"over-long by far", s, 10, LONGER, 10},
      {"over-long into no room", s, 0, LONGER, 0},
      {"trailing garbage", s + "trailing bytes", n, COMPLETE, n},
      {"trailing second stream", s + zlib_compress(BINARY), n, COMPLETE, n},
      {"trailing bytes and room to spare", s + std::string(100, '\0'), n + 100, COMPLETE, n},
      {"trailing bytes, over-long", s + "x", n / 2, LONGER, n / 2},
      {"no bytes at all", "", 100, TRUNCATED, 0},
      {"header only", cut(s, 2), n, TRUNCATED, 0},
      {"truncated halfway", cut(s, s.size() / 2), n, TRUNCATED, SOME},
      {"truncated before the checksum, room filled", cut(s, s.size() - 4), n, TRUNCATED, n},
      {"truncated before the checksum", cut(s, s.size() - 4), n + 1, TRUNCATED, n},
      {"truncated by one byte", cut(s, s.size() - 1), n + 1, TRUNCATED, n},
      {"truncated and over-long", cut(s, s.size() / 2), 100, LONGER, 100},
      {"not deflate (method 9)", with_byte(s, 0, 0x79), n, DAMAGED, 0},
      {"bad header check", flipped(s, 1), n, DAMAGED, 0},
      {"preset dictionary asked", with_byte(with_byte(s, 0, 0x78), 1, static_cast<char>(0xBB)), n, DAMAGED, 0},
      {"wrong checksum", flipped(s, s.size() - 1), n, DAMAGED, n},
      {"damaged block header", with_byte(s, 2, static_cast<char>(0xFF)), n, DAMAGED, 0},
      {"damaged stored length", flipped(zlib_compress(NOISE), 5), NOISE.size(), DAMAGED, 0},
      {"damaged stored data", flipped(zlib_compress(NOISE), 5000), NOISE.size(), DAMAGED, NOISE.size()},
  };
}

TEST(Inflate, GivesZlibsOutcomeAndBytesForCleanShortOverLongDamagedAndTrailingStreams) {
  for (const inflate_case& c : inflate_cases()) {
    SCOPED_TRACE(c.what);
    const outcome result = expect_zlib_result(c.stream, c.room);
    EXPECT_EQ(result.kind, c.kind);
    if (c.produced == SOME) {
      EXPECT_GT(result.bytes.size(), 0u);
      EXPECT_LT(result.bytes.size(), TEXT.size());
    } else {
      EXPECT_EQ(result.bytes.size(), c.produced);
    }
    if (c.kind == COMPLETE && c.produced == TEXT.size()) {
      EXPECT_TRUE(result.bytes == TEXT);
    }
  }
}

// Every single-bit damage and every truncation of a small stream, so that no damage the
// fast path accepts escapes zlib's verdict.
TEST(Inflate, GivesZlibsResultForEveryBitFlipAndEveryTruncation) {
  const std::string data = test_support::text_like(1500, 4) + test_support::binary_like(1500, 5);
  const std::string stream = zlib_compress(data);
  for (std::size_t at = 0; at < stream.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      SCOPED_TRACE("bit " + std::to_string(bit) + " of byte " + std::to_string(at));
      std::string damaged = stream;
      damaged[at] = static_cast<char>(damaged[at] ^ (1 << bit));
      expect_zlib_result(damaged, data.size());
    }
    SCOPED_TRACE("cut to " + std::to_string(at) + " bytes");
    expect_zlib_result(cut(stream, at), data.size());
  }
}

std::string from_hex(std::string_view hex) {
  std::string bytes;
  for (std::size_t at = 0; at + 1 < hex.size(); at += 2) {
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(at, 2)), nullptr, 16));
  }
  return bytes;
}

// The two kinds of stream that libdeflate inflates and zlib refuses, both legal to neither in a
// strict reading of RFC 1951 and written by no compressor: the one known exception to "the
// fast path gives zlib's result". Both are complete streams with a correct checksum.
TEST(Inflate, TheFastPathAcceptsTwoKindsOfStreamZlibRefuses) {
  const struct {
    const char* what;
    std::string stream;
    std::string data;
  } cases[] = {
      // A stored block of "hello world", then a final dynamic block whose literal/length code
      // has one codeword (end of block, one bit long), sent as the bit 1; zlib takes only 0.
      {"a one-bit code's single codeword sent as 1",
       from_hex("7801000b00f4ff68656c6c6f20776f726c6405c081000000000090ff6b021a0b045d"), "hello world"},
      // A dynamic block of 'a' and a match of length 3 whose distance code is empty.
      {"a match from an empty distance code", from_hex("78010dc0010900000080a0adfd3f91c403ce0185"), "aaaa"},
  };
  const bool fast = inflater_name() != "zlib";
  inflater inflate;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const outcome by_zlib = inflate_with(inflate_with_zlib, c.stream, c.data.size());
    EXPECT_EQ(by_zlib.kind, DAMAGED);
    const outcome used = inflate_with([&](unsigned char* d, std::size_t r, const unsigned char* s,
                                          std::size_t n) { return inflate.inflate(d, r, s, n); },
                                      c.stream, c.data.size());
    EXPECT_EQ(used.kind, fast ? COMPLETE : DAMAGED);
    if (fast) {
      EXPECT_EQ(used.bytes, c.data);
    }
  }
}

TEST(Inflate, DescribesEachFailure) {
  EXPECT_EQ(describe_inflate_failure({LONGER, 10}, 10), "stream inflates to more than 10 bytes; cut there");
  EXPECT_EQ(describe_inflate_failure({LONGER, 0}, 0), "stream inflates to more than 0 bytes; cut there");
  EXPECT_EQ(describe_inflate_failure({DAMAGED, 7}, 10), "damaged or truncated zlib stream; 7 bytes kept");
  EXPECT_EQ(describe_inflate_failure({TRUNCATED, 7}, 10), "damaged or truncated zlib stream; 7 bytes kept");
  EXPECT_EQ(describe_inflate_failure({inflate_outcome::out_of_memory, 0}, 10), "out of memory while inflating");
}

}  // namespace
}  // namespace darvex
