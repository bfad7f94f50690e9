#include "format/inflate.hpp"

#include <zlib.h>

#ifdef DARVEX_FAST_INFLATE
#include <libdeflate.h>
#endif

namespace darvex {
namespace {

// A stream that did not end: with Z_FINISH, Z_BUF_ERROR and no input left mean that the input
// ran out before the stream's end; anything else is damage.
inflate_result cut_or_damaged(const z_stream& stream, int status, std::size_t produced) {
  if (status == Z_BUF_ERROR && stream.avail_in == 0) return {inflate_outcome::truncated, produced};
  return {inflate_outcome::damaged, produced};
}

// zlib's inflate over one whole stream held in memory, into `room` bytes. When the room fills
// before the stream ends, one more byte of room tells a longer stream from a damaged one.
inflate_result inflate_whole(z_stream& stream, unsigned char* destination, std::size_t room,
                             const unsigned char* source, std::size_t source_length) {
  unsigned char probe = 0;
  stream.next_in = const_cast<unsigned char*>(source);  // zlib's API predates const
  stream.avail_in = static_cast<uInt>(source_length);
  stream.next_out = destination != nullptr ? destination : &probe;
  stream.avail_out = static_cast<uInt>(room);
  int status = ::inflate(&stream, Z_FINISH);
  const auto produced = static_cast<std::size_t>(stream.total_out);
  if (status == Z_STREAM_END) return {inflate_outcome::complete, produced};
  if (status == Z_MEM_ERROR) return {inflate_outcome::out_of_memory, produced};
  if (status != Z_BUF_ERROR || stream.avail_out != 0) return cut_or_damaged(stream, status, produced);

  stream.next_out = &probe;
  stream.avail_out = 1;
  status = ::inflate(&stream, Z_FINISH);
  if (stream.total_out > produced) return {inflate_outcome::longer_than_recorded, produced};
  if (status == Z_STREAM_END) return {inflate_outcome::complete, produced};
  return cut_or_damaged(stream, status, produced);
}

struct zlib_stream {
  z_stream stream{};
  bool ready = inflateInit(&stream) == Z_OK;
  ~zlib_stream() {
    if (ready) inflateEnd(&stream);
  }

  inflate_result inflate(unsigned char* destination, std::size_t room, const unsigned char* source,
                         std::size_t source_length) {
    if (!ready || inflateReset(&stream) != Z_OK) return {inflate_outcome::out_of_memory, 0};
    return inflate_whole(stream, destination, room, source, source_length);
  }
};

}  // namespace

#ifdef DARVEX_FAST_INFLATE

struct inflater::state {
  libdeflate_decompressor* fast = libdeflate_alloc_decompressor();
  zlib_stream reference;
  ~state() { libdeflate_free_decompressor(fast); }

  // The bytes libdeflate produced when the stream inflated completely into `room` (possibly to
  // fewer bytes, possibly with bytes after the stream); false for any other outcome, after which
  // the destination holds undefined bytes.
  bool inflate_completely(unsigned char* destination, std::size_t room, const unsigned char* source,
                          std::size_t source_length, std::size_t& produced) {
    if (fast == nullptr) return false;
    // A non-null consumed count lets bytes follow the stream; a non-null produced count lets
    // the stream inflate to less than the room.
    std::size_t consumed = 0;
    return libdeflate_zlib_decompress_ex(fast, source, source_length, destination, room, &consumed, &produced) ==
           LIBDEFLATE_SUCCESS;
  }
};

inflate_result inflater::inflate(unsigned char* destination, std::size_t room, const unsigned char* source,
                                 std::size_t source_length) {
  unsigned char none = 0;
  if (destination == nullptr) destination = &none;
  std::size_t produced = 0;
  if (state_->inflate_completely(destination, room, source, source_length, produced)) {
    return {inflate_outcome::complete, produced};
  }
  return state_->reference.inflate(destination, room, source, source_length);
}

std::string inflater_name() {
  return std::string("libdeflate ") + LIBDEFLATE_VERSION_STRING + ", zlib as the reference";
}

#else

struct inflater::state {
  zlib_stream reference;
};

inflate_result inflater::inflate(unsigned char* destination, std::size_t room, const unsigned char* source,
                                 std::size_t source_length) {
  return state_->reference.inflate(destination, room, source, source_length);
}

std::string inflater_name() { return "zlib"; }

#endif

inflater::inflater() : state_(new state) {}
inflater::~inflater() = default;

inflate_result inflate_with_zlib(unsigned char* destination, std::size_t room, const unsigned char* source,
                                 std::size_t source_length) {
  zlib_stream stream;
  return stream.inflate(destination, room, source, source_length);
}

const char* zlib_library_version() { return zlibVersion(); }

std::string describe_inflate_failure(const inflate_result& result, std::size_t room) {
  switch (result.outcome) {
    case inflate_outcome::complete:
      return "inflated completely";
    case inflate_outcome::longer_than_recorded:
      return "stream inflates to more than " + std::to_string(room) + " bytes; cut there";
    case inflate_outcome::damaged:
    case inflate_outcome::truncated:
      return "damaged or truncated zlib stream; " + std::to_string(result.produced) + " bytes kept";
    case inflate_outcome::out_of_memory:
      break;
  }
  return "out of memory while inflating";
}

}  // namespace darvex
