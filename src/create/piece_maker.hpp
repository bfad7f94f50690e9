#pragma once

// One worker's share of writing an archive: the bytes of a piece of the plan that needs its
// file (a new stream, or an entry's span kept when its file holds what extraction writes for it)
// or that is checked (a span kept without a file, inflated to tell whether it is damaged).
// Each worker has its own compressor, inflater and buffers.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "create/pack_plan.hpp"
#include "create/pack_sources.hpp"
#include "format/deflate.hpp"
#include "format/growable_buffer.hpp"
#include "format/inflate.hpp"
#include "format/problem.hpp"

namespace darvex {

struct piece_bytes {
  std::unique_ptr<unsigned char[]> bytes;  // what to write, for pieces other than copy and drop
  std::size_t length = 0;
  bool kept = false;                  // the original's span, its file unchanged or no file to look at
  std::uint32_t size = 0;             // a new stream's inflated size
  std::uint32_t crc = 0;              // of the span kept, or of a new stream's content
  std::optional<std::string> damage;  // why the span kept does not inflate cleanly
  std::optional<problem> failure;
};

class piece_maker {
 public:
  piece_maker(const pack_plan& plan, const pack_sources& sources, int level)
      : plan_(plan), sources_(sources), deflate_(level) {}

  // Makes piece `i`; every failure is the piece's own.
  void operator()(std::size_t i, piece_bytes& made) noexcept;

 private:
  void make(const pack_piece& piece, piece_bytes& made);
  // Reads the piece's file into content_; false, with the failure in `made`, when it cannot or
  // when the file changes while it is read.
  bool read_file(const pack_piece& piece, piece_bytes& made);
  // Reads the original's bytes the piece stands for into `made`; false after a failure.
  bool read_span(const pack_piece& piece, piece_bytes& made);
  // Inflates the span in `made` as extraction does, into inflated_.
  inflate_result inflate_span(const pack_piece& piece, const piece_bytes& made);
  // Keeps the span in `made` as it is stored, noting any damage of `inflated`.
  static void keep_span(const pack_piece& piece, const inflate_result& inflated, piece_bytes& made);
  void compress(const unsigned char* content, std::size_t length, const pack_piece& piece, piece_bytes& made);
  problem file_problem(const pack_piece& piece, std::string reason, int err = 0) const;

  const pack_plan& plan_;
  const pack_sources& sources_;
  deflater deflate_;
  std::unique_ptr<inflater> inflate_;
  growable_buffer content_;
  std::size_t content_length_ = 0;
  growable_buffer inflated_;
};

}  // namespace darvex
