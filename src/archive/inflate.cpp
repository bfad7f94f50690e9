#include "archive/inflate.hpp"

#include <zlib.h>

#ifdef DARVEX_FAST_INFLATE
#include <libdeflate.h>

#include <memory>
#include <optional>
#endif

// Since zlib 1.2.9, uncompress reports the bytes it produced even when it fails; older
// versions report the room given, which would hand stale buffer bytes to the caller.
static_assert(ZLIB_VERNUM >= 0x1290, "zlib 1.2.9 or later is needed");

namespace darvex {
namespace {

#ifdef DARVEX_FAST_INFLATE

struct decompressor_deleter {
  void operator()(libdeflate_decompressor* decompressor) const noexcept {
    libdeflate_free_decompressor(decompressor);
  }
};

// Allocated on first use and freed at exit; nullptr when it could not be allocated.
libdeflate_decompressor* shared_decompressor() {
  static const std::unique_ptr<libdeflate_decompressor, decompressor_deleter> decompressor(
      libdeflate_alloc_decompressor());
  return decompressor.get();
}

// The bytes libdeflate produced when the stream inflated cleanly into `room` (possibly to
// fewer bytes, possibly with bytes after the stream); nothing for any other outcome, after
// which the destination holds undefined bytes.
std::optional<std::size_t> inflate_cleanly(unsigned char* destination, std::size_t room,
                                           const unsigned char* source, std::size_t source_length) {
  libdeflate_decompressor* decompressor = shared_decompressor();
  if (decompressor == nullptr) return std::nullopt;
  // A non-null consumed count lets bytes follow the stream; a non-null produced count lets
  // the stream inflate to less than the room.
  std::size_t consumed = 0;
  std::size_t produced = 0;
  const libdeflate_result result = libdeflate_zlib_decompress_ex(
      decompressor, source, source_length, destination, room, &consumed, &produced);
  if (result != LIBDEFLATE_SUCCESS) return std::nullopt;
  return produced;
}

#endif

}  // namespace

inflate_result inflate_with_zlib(unsigned char* destination, std::size_t room,
                                 const unsigned char* source, std::size_t source_length) {
  uLongf length = static_cast<uLongf>(room);
  const int status = uncompress(destination, &length, source, static_cast<uLong>(source_length));
  return {status, static_cast<std::size_t>(length)};
}

inflate_result inflate_stream(unsigned char* destination, std::size_t room,
                              const unsigned char* source, std::size_t source_length) {
#ifdef DARVEX_FAST_INFLATE
  if (const auto produced = inflate_cleanly(destination, room, source, source_length)) {
    return {Z_OK, *produced};
  }
#endif
  return inflate_with_zlib(destination, room, source, source_length);
}

const char* inflater_name() {
#ifdef DARVEX_FAST_INFLATE
  return "libdeflate, zlib as the reference";
#else
  return "zlib";
#endif
}

std::string describe_inflate_failure(const inflate_result& result, std::size_t room) {
  const std::string kept = std::to_string(result.produced) + " bytes kept";
  switch (result.status) {
    case Z_BUF_ERROR:
      return "stream inflates to more than " + std::to_string(room) + " bytes; cut there";
    case Z_DATA_ERROR:
      return "damaged or truncated zlib stream; " + kept;
    case Z_MEM_ERROR:
      return "out of memory while inflating";
    default:
      return "inflate failed (zlib status " + std::to_string(result.status) + "); " + kept;
  }
}

}  // namespace darvex
