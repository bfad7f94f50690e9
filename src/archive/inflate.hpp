#pragma once

// One-shot inflate of a zlib stream (RFC 1950) into a fixed buffer.
//
// zlib's uncompress is the reference. A build with the fast path (DARVEX_FAST_INFLATE) inflates
// with libdeflate first and keeps its result only when the stream inflated cleanly into the
// room given; every other outcome is inflated again by zlib, so that the bytes and the status
// are always zlib's.

#include <cstddef>
#include <string>

namespace darvex {

struct inflate_result {
  int status;            // zlib's status: Z_OK when the stream inflated completely
  std::size_t produced;  // bytes written to the destination, whatever the status
};

// Inflates at most `room` bytes. A stream that would inflate to more is cut at `room`
// (status Z_BUF_ERROR); a damaged or truncated one leaves what came before the damage.
// Bytes after the end of the stream are ignored. Not for use by two threads at once.
inflate_result inflate_stream(unsigned char* destination, std::size_t room,
                              const unsigned char* source, std::size_t source_length);

// The same with zlib alone: what inflate_stream must always agree with.
inflate_result inflate_with_zlib(unsigned char* destination, std::size_t room,
                                 const unsigned char* source, std::size_t source_length);

// Which inflater inflate_stream uses, in words.
const char* inflater_name();

// Why an inflate that did not return Z_OK fell short, in words.
std::string describe_inflate_failure(const inflate_result& result, std::size_t room);

}  // namespace darvex
