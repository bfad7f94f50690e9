#include "format/deflate.hpp"

#include <zlib.h>

#include <limits>

#ifdef DARVEX_FAST_INFLATE
#include <libdeflate.h>
#endif

namespace darvex {

#ifdef DARVEX_FAST_INFLATE

struct deflater::state {
  libdeflate_compressor* fast;
  explicit state(int level) : fast(libdeflate_alloc_compressor(level)) {}
  ~state() { libdeflate_free_compressor(fast); }
};

int max_compression_level() { return 12; }

std::size_t deflater::bound(std::size_t length) const { return libdeflate_zlib_compress_bound(state_->fast, length); }

std::size_t deflater::deflate(unsigned char* destination, std::size_t room, const unsigned char* source,
                              std::size_t length) {
  if (state_->fast == nullptr) return 0;
  return libdeflate_zlib_compress(state_->fast, source, length, destination, room);
}

std::string deflater_name() { return std::string("libdeflate ") + LIBDEFLATE_VERSION_STRING; }

std::uint32_t crc32_of(const unsigned char* bytes, std::size_t length, std::uint32_t crc) {
  return libdeflate_crc32(crc, bytes, length);
}

#else

// zlib's deflate, reset for each stream rather than made anew.
struct deflater::state {
  z_stream stream{};
  bool ready;
  explicit state(int level) : ready(deflateInit(&stream, level) == Z_OK) {}
  ~state() {
    if (ready) deflateEnd(&stream);
  }
};

int max_compression_level() { return Z_BEST_COMPRESSION; }

std::size_t deflater::bound(std::size_t length) const {
  // deflateBound's own figure for default settings, when the state could not be made.
  if (!state_->ready) return compressBound(static_cast<uLong>(length));
  return deflateBound(&state_->stream, static_cast<uLong>(length));
}

std::size_t deflater::deflate(unsigned char* destination, std::size_t room, const unsigned char* source,
                              std::size_t length) {
  z_stream& stream = state_->stream;
  if (!state_->ready || deflateReset(&stream) != Z_OK) return 0;
  stream.next_in = const_cast<unsigned char*>(source);  // zlib's API predates const
  stream.avail_in = static_cast<uInt>(length);
  stream.next_out = destination;
  stream.avail_out = static_cast<uInt>(room);
  if (::deflate(&stream, Z_FINISH) != Z_STREAM_END) return 0;
  return static_cast<std::size_t>(stream.total_out);
}

std::string deflater_name() { return std::string("zlib ") + zlibVersion(); }

std::uint32_t crc32_of(const unsigned char* bytes, std::size_t length, std::uint32_t crc) {
  // zlib takes at most a uInt at a time.
  constexpr std::size_t MOST = std::numeric_limits<uInt>::max();
  for (; length > MOST; bytes += MOST, length -= MOST) crc = static_cast<std::uint32_t>(::crc32(crc, bytes, MOST));
  return static_cast<std::uint32_t>(::crc32(crc, bytes, static_cast<uInt>(length)));
}

#endif

deflater::deflater(int level) : state_(new state(level)) {}
deflater::~deflater() = default;

}  // namespace darvex
