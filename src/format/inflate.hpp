#pragma once

// One-shot inflate of a zlib stream (RFC 1950) into a buffer of fixed room.
//
// zlib is the reference. A build with the fast path (DARVEX_FAST_INFLATE) inflates with
// libdeflate first and keeps its result only when the stream inflated completely into the room
// given; every other outcome is inflated again by zlib, so that the bytes and the outcome are
// zlib's. One exception, which no compressor writes and which only a check by zlib of every
// stream could catch (doubling the time it takes): libdeflate also accepts a Huffman code of a
// single one-bit codeword sent as the bit 1, and a match whose distance code is empty, where
// zlib reports the stream damaged.

#include <cstddef>
#include <memory>
#include <string>

namespace darvex {

enum class inflate_outcome {
  complete,              // the stream ended within the room (bytes after it are ignored)
  longer_than_recorded,  // the stream holds more than the room: cut there
  damaged,               // damaged: what came before the damage is kept
  truncated,             // the source ended before the stream did: what came before is kept
  out_of_memory,         // zlib could not allocate its state
};

struct inflate_result {
  inflate_outcome outcome;
  std::size_t produced;  // bytes written to the destination, whatever the outcome
};

// An inflater and the state it keeps between streams. One per thread: it is not to be used by
// two threads at once, and two inflaters share nothing.
class inflater {
 public:
  inflater();
  ~inflater();
  inflater(const inflater&) = delete;
  inflater& operator=(const inflater&) = delete;

  // Inflates at most `room` bytes into `destination`.
  inflate_result inflate(unsigned char* destination, std::size_t room, const unsigned char* source,
                         std::size_t source_length);

 private:
  struct state;
  std::unique_ptr<state> state_;
};

// The same with zlib alone, from a fresh state: what inflater::inflate must always agree with.
inflate_result inflate_with_zlib(unsigned char* destination, std::size_t room, const unsigned char* source,
                                 std::size_t source_length);

// Which inflater is in use, with its version ("libdeflate 1.14, zlib as the reference").
std::string inflater_name();

// zlib's version, as the library in use reports it.
const char* zlib_library_version();

// Why an inflate that did not complete fell short, in words ("damaged or truncated zlib
// stream; 12 bytes kept").
std::string describe_inflate_failure(const inflate_result& result, std::size_t room);

}  // namespace darvex
