#include "create/piece_maker.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

#include "create/folder_scan.hpp"
#include "format/archive.hpp"
#include "format/inflate.hpp"
#include "platform/file_state.hpp"

namespace darvex {
namespace {

problem out_of_memory() { return {problem_kind::output, {}, "out of memory"}; }

}  // namespace

void piece_maker::operator()(std::size_t i, piece_bytes& made) noexcept {
  try {
    make(plan_.pieces[i], made);
  } catch (const std::bad_alloc&) {
    made.failure = out_of_memory();
  } catch (const std::exception& failure) {
    made.failure = problem{problem_kind::output, {}, std::string("unexpected failure: ") + failure.what()};
  }
}

void piece_maker::make(const pack_piece& piece, piece_bytes& made) {
  switch (piece.kind) {
    case piece_kind::copy:
    case piece_kind::drop:
      return;  // the writer copies them itself
    case piece_kind::empty:
      return compress(nullptr, 0, piece, made);
    case piece_kind::pack:
      return pack_file(piece, made);
    case piece_kind::check:
      if (read_span(piece, made)) keep_span(piece, inflate_span(piece, made), made);
      return;
    case piece_kind::compare:
    case piece_kind::revise:
      return compare_file(piece, made);
  }
}

void piece_maker::pack_file(const pack_piece& piece, piece_bytes& made) {
  platform::file_handle handle;
  if (open_file(piece, handle, made) && read_file(piece, handle, made)) {
    compress(content_.room(content_length_), content_length_, piece, made);
  }
}

// The span is inflated into content_ and the file compared with it a chunk at a time, so that a
// worker holds the span and one entry's bytes, not the file's bytes besides. Only a file that
// differs is then read whole, over the inflated bytes, and packed as a new stream.
void piece_maker::compare_file(const pack_piece& piece, piece_bytes& made) {
  const source_file& file = sources_.files[*piece.file];
  platform::file_handle handle;
  if (!read_span(piece, made) || !open_file(piece, handle, made)) return;
  // Extraction never writes more than the recorded size.
  if (file.size <= piece.room) {
    const inflate_result inflated = inflate_span(piece, made);
    if (inflated.produced == file.size) {
      switch (matches_file(piece, handle, content_.room(piece.room), inflated.produced, made)) {
        case file_match::failed:
          return;
        case file_match::same:
          keep_span(piece, inflated, made);
          // A record whose bytes are no span of its own keeps pointing at them: nothing is written.
          if (piece.kind == piece_kind::revise) {
            made.bytes.reset();
            made.length = 0;
          }
          return;
        case file_match::differs:
          break;
      }
    }
  }
  made.bytes.reset();
  made.length = 0;
  if (read_file(piece, handle, made)) compress(content_.room(content_length_), content_length_, piece, made);
}

bool piece_maker::open_file(const pack_piece& piece, platform::file_handle& handle, piece_bytes& made) {
  const source_file& file = sources_.files[*piece.file];
  platform::standing opened;
  if (int err = opener_.open(file.path, handle, opened)) {
    // A link found only now: under Wine a folder's listing shows one to a file as that file.
    made.failure =
        err == ELOOP || err == EINVAL ? file_problem(piece, NEVER_FOLLOWED) : file_problem(piece, "cannot open", err);
    return false;
  }
  if (opened.stamp != file.stamp || opened.identity != file.identity) return changed(piece, made);
  if (opened.stamp.size > ENTRY_BUFFER_SIZE) {
    made.failure = file_problem(piece, std::to_string(opened.stamp.size) + " bytes exceeds the " +
                                           std::to_string(ENTRY_BUFFER_SIZE) + "-byte entry buffer");
    return false;
  }
  return true;
}

bool piece_maker::read_file(const pack_piece& piece, const platform::file_handle& handle, piece_bytes& made) {
  const source_file& file = sources_.files[*piece.file];
  content_length_ = static_cast<std::size_t>(file.size);
  // One byte more than the file holds: a file that grows shows it.
  unsigned char* content = content_.room(content_length_ + 1);
  if (content == nullptr) throw std::bad_alloc();
  std::size_t got = 0;
  if (int err = platform::read_at(handle, 0, content, content_length_ + 1, got)) {
    made.failure = file_problem(piece, "cannot read", err);
    return false;
  }
  return got == content_length_ ? unchanged_since_scan(piece, handle, made) : changed(piece, made);
}

piece_maker::file_match piece_maker::matches_file(const pack_piece& piece, const platform::file_handle& handle,
                                                  const unsigned char* expected, std::size_t length,
                                                  piece_bytes& made) {
  constexpr std::size_t CHUNK = 256 * 1024;
  if (!chunk_) chunk_ = std::make_unique_for_overwrite<unsigned char[]>(CHUNK);
  // Up to the length and one byte past it: a file that grows shows it.
  for (std::size_t at = 0; at <= length; at += CHUNK) {
    const std::size_t wanted = std::min(CHUNK, length - at + 1);
    std::size_t got = 0;
    if (int err = platform::read_at(handle, at, chunk_.get(), wanted, got)) {
      made.failure = file_problem(piece, "cannot read", err);
      return file_match::failed;
    }
    const std::size_t expected_here = std::min(wanted, length - at);
    if (got != expected_here) {
      changed(piece, made);
      return file_match::failed;
    }
    if (got > 0 && std::memcmp(chunk_.get(), expected + at, got) != 0) return file_match::differs;
  }
  return unchanged_since_scan(piece, handle, made) ? file_match::same : file_match::failed;
}

bool piece_maker::unchanged_since_scan(const pack_piece& piece, const platform::file_handle& handle,
                                       piece_bytes& made) {
  platform::file_stamp after;
  if (int err = platform::stamp_of(handle, after)) {
    made.failure = file_problem(piece, "cannot read", err);
    return false;
  }
  return after == sources_.files[*piece.file].stamp || changed(piece, made);
}

bool piece_maker::changed(const pack_piece& piece, piece_bytes& made) const {
  made.failure = file_problem(piece,
                              "changed while it was read (its size, its bytes or the time it was written): "
                              "run again once nothing writes to it");
  return false;
}

bool piece_maker::read_span(const pack_piece& piece, piece_bytes& made) {
  made.length = static_cast<std::size_t>(piece.end - piece.start);
  made.bytes = std::make_unique_for_overwrite<unsigned char[]>(made.length);
  if (auto unread = sources_.original->read(piece.start, made.bytes.get(), made.length)) {
    made.failure = std::move(unread);
    return false;
  }
  return true;
}

inflate_result piece_maker::inflate_span(const pack_piece& piece, const piece_bytes& made) {
  if (!inflate_) inflate_ = std::make_unique<inflater>();
  unsigned char* room = content_.room(piece.room);
  if (room == nullptr && piece.room > 0) throw std::bad_alloc();
  const inflate_result inflated = inflate_->inflate(room, piece.room, made.bytes.get(), made.length);
  if (inflated.outcome == inflate_outcome::out_of_memory) throw std::bad_alloc();
  return inflated;
}

void piece_maker::keep_span(const pack_piece& piece, const inflate_result& inflated, piece_bytes& made) {
  made.kept = true;
  made.crc = crc32_of(made.bytes.get(), made.length);
  if (inflated.outcome != inflate_outcome::complete) made.damage = describe_inflate_failure(inflated, piece.room);
}

void piece_maker::compress(const unsigned char* content, std::size_t length, const pack_piece& piece,
                           piece_bytes& made) {
  const std::size_t bound = deflate_.bound(length);
  made.bytes = std::make_unique_for_overwrite<unsigned char[]>(bound);
  made.length = deflate_.deflate(made.bytes.get(), bound, content, length);
  made.kept = false;
  if (made.length == 0) throw std::bad_alloc();
  if (made.length > ENTRY_BUFFER_SIZE) {
    made.failure = file_problem(piece, "compresses to " + std::to_string(made.length) + " bytes, more than the " +
                                           std::to_string(ENTRY_BUFFER_SIZE) + "-byte entry buffer holds");
    return;
  }
  made.size = static_cast<std::uint32_t>(length);
  made.crc = crc32_of(content, length);
}

problem piece_maker::file_problem(const pack_piece& piece, std::string reason, int err) const {
  const std::string path = piece.file ? shown_path(sources_.folder_path, sources_.files[*piece.file].path) : "";
  return {problem_kind::source, path, std::move(reason), err};
}

}  // namespace darvex
