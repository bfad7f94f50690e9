#pragma once

// One-shot inflate of a zlib stream (RFC 1950) into a fixed buffer.

#include <cstddef>
#include <string>

namespace darvex {

struct inflate_result {
  int status;            // zlib's status: Z_OK when the stream inflated completely
  std::size_t produced;  // bytes written to the destination, whatever the status
};

// Inflates at most `room` bytes. A stream that would inflate to more is cut at `room`
// (status Z_BUF_ERROR); a damaged or truncated one leaves what came before the damage.
inflate_result inflate_stream(unsigned char* destination, std::size_t room,
                              const unsigned char* source, std::size_t source_length);

// Why an inflate that did not return Z_OK fell short, in words.
std::string describe_inflate_failure(const inflate_result& result, std::size_t room);

}  // namespace darvex
