// Entry extraction. The index stores no compressed lengths: entry i's compressed bytes (its
// span) run from its offset to entry i + 1's offset, and the last entry's to index_offset.
// No entry's data reaches into the compressed index, so a span never runs past index_offset:
// a next offset beyond it (a damaged record) leaves this entry's span ending at the index.
// A span may hold bytes after the entry's zlib stream; inflating stops at the stream's end.
//
// Each entry takes a seek (none when its span starts where the previous one ended), one read of
// its span, one inflate into a buffer of its recorded size and one write of the bytes that
// inflate produced. An entry is checked before anything is created for it: its name must stay
// inside the output directory, and its span and size must fit the fixed buffers.

#include <algorithm>
#include <cerrno>

#include <zlib.h>

#include "archive/archive.hpp"
#include "archive/entry_name.hpp"
#include "archive/inflate.hpp"
#include "platform/platform.hpp"

namespace darvex {
namespace {

struct entry_view {
  std::uint32_t position;  // counted from 1, as messages show it
  const char* name;
  std::uint64_t start;  // archive offset of the span
  std::uint64_t end;    // one past the span, at most index_offset; precedes start when out of order
  std::uint32_t size;
};

entry_view view_entry(const run_state& state, std::uint32_t i) {
  const entry_table& entries = state.entries;
  const bool last = i + 1 == state.entry_count;
  const std::uint32_t end = last ? state.index_offset : std::min(entries.offsets[i + 1], state.index_offset);
  return {i + 1, entries.names[i], entries.offsets[i], end, entries.sizes[i]};
}

std::string bytes(std::uint64_t count) { return std::to_string(count) + " bytes"; }

// Why the entry is refused before anything is created for it, or an empty string.
std::string refusal(const run_state& state, const entry_view& entry) {
  if (const char* unsafe = unsafe_name_reason(entry.name)) return std::string("unsafe name: ") + unsafe;
  if (entry.start > state.index_offset) {
    return "offset " + std::to_string(entry.start) + " lies past the index at " +
           std::to_string(state.index_offset);
  }
  if (entry.end < entry.start) {
    return "span ends at " + std::to_string(entry.end) + ", before its offset " +
           std::to_string(entry.start) + " (offsets out of order)";
  }
  const std::string limit = " exceeds the " + std::to_string(ENTRY_BUFFER_SIZE) + "-byte entry buffer";
  if (entry.end - entry.start > ENTRY_BUFFER_SIZE) return "span of " + bytes(entry.end - entry.start) + limit;
  if (entry.size > ENTRY_BUFFER_SIZE) return "size of " + bytes(entry.size) + limit;
  return {};
}

// The archive stream and where it stands, when known. Spans usually follow one another, and a
// seek costs a system call even when it does not move, so reads that continue skip it.
// No span starts at UNKNOWN_POSITION: offsets are 32-bit.
constexpr std::uint64_t UNKNOWN_POSITION = UINT64_MAX;

struct archive_cursor {
  std::FILE* stream;
  std::uint64_t position = UNKNOWN_POSITION;
};

// Reads the span into `buffer`.
stage_result read_span(archive_cursor& archive, const entry_view& entry, unsigned char* buffer,
                       std::size_t& length) {
  errno = 0;
  if (archive.position != entry.start) {
    archive.position = UNKNOWN_POSITION;
    if (!platform::seek_to(archive.stream, entry.start)) return problem{{}, system_reason("cannot seek", errno)};
  }
  length = static_cast<std::size_t>(entry.end - entry.start);
  if (std::fread(buffer, 1, length, archive.stream) != length) {
    std::clearerr(archive.stream);
    archive.position = UNKNOWN_POSITION;
    return problem{{}, system_reason("cannot read", errno)};
  }
  archive.position = entry.start + length;
  return std::nullopt;
}

stage_result write_file(const char* name, const unsigned char* data, std::size_t length) {
  file_stream file = open_file(name, "w+b");
  if (!file) return problem{{}, system_reason("cannot create", errno)};
  // Unbuffered: the bytes go out in one write straight from `data`, and the runtime neither
  // allocates a buffer for the file nor asks the system for its block size.
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  errno = 0;
  const bool written = std::fwrite(data, 1, length, file.get()) == length;
  if (!close_written(file) || !written) return problem{{}, system_reason("cannot write", errno)};
  return std::nullopt;
}

// Extracts one entry; the listener hears of it once its span has been read or refused.
stage_result extract_entry(const run_state& state, archive_cursor& archive, const entry_view& entry,
                           working_buffers& buffers, extraction_listener& listener) {
  if (std::string refused = refusal(state, entry); !refused.empty()) {
    listener.entry_read(entry.name);
    return problem{{}, std::move(refused)};
  }
  std::size_t span_length = 0;
  stage_result unread = read_span(archive, entry, buffers.entry_stream.get(), span_length);
  listener.entry_read(entry.name);
  if (unread) return unread;

  const inflate_result inflated =
      inflate_stream(buffers.entry.get(), entry.size, buffers.entry_stream.get(), span_length);
  if (auto unwritten = write_file(entry.name, buffers.entry.get(), inflated.produced)) return unwritten;
  if (inflated.status != Z_OK) return problem{{}, describe_inflate_failure(inflated, entry.size)};
  return std::nullopt;
}

}  // namespace

std::uint32_t extract_entries(const run_state& state, working_buffers& buffers,
                              extraction_listener& listener) {
  std::uint32_t failures = 0;
  archive_cursor archive{state.archive.get()};
  for (std::uint32_t i = 0; i < state.entry_count; ++i) {
    const entry_view entry = view_entry(state, i);
    if (stage_result failure = extract_entry(state, archive, entry, buffers, listener)) {
      failure->subject = "entry " + std::to_string(entry.position) + " (" + entry.name + ")";
      listener.entry_failed(*failure);
      ++failures;
    }
  }
  return failures;
}

}  // namespace darvex
