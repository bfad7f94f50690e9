#pragma once

// One-shot compression of an entry or the index into a zlib stream (RFC 1950) that any zlib
// inflates, beside inflate.hpp's one-shot inflate.
//
// A build with the fast path (DARVEX_FAST_INFLATE) compresses with libdeflate, levels 1 to 12;
// otherwise with zlib's deflate, levels 1 to 9. Either way the same bytes at the same level give
// the same stream, whichever thread or deflater compresses them.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace darvex {

inline constexpr int DEFAULT_COMPRESSION_LEVEL = 6;
inline constexpr int MIN_COMPRESSION_LEVEL = 1;

// The highest level the compressor in use takes: 12 for libdeflate, 9 for zlib.
int max_compression_level();

// A compressor at one level and the state it keeps between streams. One per thread, like an
// inflater.
class deflater {
 public:
  explicit deflater(int level);
  ~deflater();
  deflater(const deflater&) = delete;
  deflater& operator=(const deflater&) = delete;

  // The most bytes the stream of `length` bytes can take.
  std::size_t bound(std::size_t length) const;

  // Compresses `length` bytes into `destination`, which has room for bound(length) bytes. The
  // stream's length, or 0 when the compressor could not be made (out of memory).
  std::size_t deflate(unsigned char* destination, std::size_t room, const unsigned char* source, std::size_t length);

 private:
  struct state;
  std::unique_ptr<state> state_;
};

// Which compressor is in use ("libdeflate 1.14").
std::string deflater_name();

// The CRC-32 of `length` bytes, as zlib and zip compute it: what the writer checks what it wrote
// against.
std::uint32_t crc32_of(const unsigned char* bytes, std::size_t length, std::uint32_t crc = 0);

}  // namespace darvex
