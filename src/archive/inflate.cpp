#include "archive/inflate.hpp"

#include <zlib.h>

// Since zlib 1.2.9, uncompress reports the bytes it produced even when it fails; older
// versions report the room given, which would hand stale buffer bytes to the caller.
static_assert(ZLIB_VERNUM >= 0x1290, "zlib 1.2.9 or later is needed");

namespace darvex {

inflate_result inflate_stream(unsigned char* destination, std::size_t room,
                              const unsigned char* source, std::size_t source_length) {
  uLongf length = static_cast<uLongf>(room);
  const int status = uncompress(destination, &length, source, static_cast<uLong>(source_length));
  return {status, static_cast<std::size_t>(length)};
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
