// Archive layout. Offsets count from the start of the file; integers are big-endian unsigned
// 32-bit values.
//
//   offset 0              8 bytes    not interpreted
//   offset 8              4 bytes    index_offset: where the compressed index starts
//   offset 12             ...        not interpreted, up to the first entry
//   each entry's offset   ...        the entries' zlib streams, in index order
//   index_offset          to EOF     the compressed index: one zlib stream (RFC 1950)
//
// The compressed index's length is stored nowhere: it is the archive's size less index_offset.
// The inflated index is written to table.bin as INDEX_BUFFER_SIZE bytes (the index, then zeros)
// and the next stage parses that file, not memory.

#include <cerrno>
#include <cstring>

#include <zlib.h>

#include "archive/archive.hpp"
#include "archive/inflate.hpp"
#include "platform/platform.hpp"

namespace darvex {
namespace {

constexpr std::uint64_t INDEX_OFFSET_FIELD = 8;
problem table_problem(const char* action, int err) {
  return {quoted(TABLE_NAME), system_reason(action, err)};
}

// Reads the compressed index into the buffer; its length is returned through `length`.
stage_result read_compressed_index(run_state& state, unsigned char* buffer, std::size_t& length) {
  std::FILE* archive = state.archive.get();
  if (!platform::seek_to(archive, INDEX_OFFSET_FIELD)) {
    return archive_problem(state, system_reason("cannot seek to the header", errno));
  }
  state.index_offset = read_be32(archive);
  const std::optional<std::uint64_t> size = platform::stream_size(archive);
  if (!size) return archive_problem(state, system_reason("cannot find the archive's size", errno));
  if (state.index_offset > *size) {
    return archive_problem(state, "index offset " + std::to_string(state.index_offset) +
                                      " lies past the end of the archive (" +
                                      std::to_string(*size) + " bytes)");
  }
  const std::uint64_t stream_length = *size - state.index_offset;
  if (stream_length > INDEX_BUFFER_SIZE) {
    return archive_problem(state, "compressed index of " + std::to_string(stream_length) +
                                      " bytes exceeds the " + std::to_string(INDEX_BUFFER_SIZE) +
                                      "-byte index buffer");
  }
  length = static_cast<std::size_t>(stream_length);
  errno = 0;
  if (!platform::seek_to(archive, state.index_offset) ||
      std::fread(buffer, 1, length, archive) != length) {
    return archive_problem(state, system_reason("cannot read the index", errno));
  }
  return std::nullopt;
}

stage_result write_table(const unsigned char* index) {
  file_stream table = open_file(TABLE_NAME, "wb");
  if (!table) return table_problem("cannot create", errno);
  errno = 0;
  const bool written = std::fwrite(index, 1, INDEX_BUFFER_SIZE, table.get()) == INDEX_BUFFER_SIZE;
  if (!close_written(table) || !written) return table_problem("cannot write", errno);
  return std::nullopt;
}

}  // namespace

stage_result load_index(run_state& state, working_buffers& buffers) {
  std::size_t stream_length = 0;
  if (auto failure = read_compressed_index(state, buffers.index_stream.get(), stream_length)) {
    return failure;
  }
  unsigned char* index = buffers.index.get();
  const inflate_result inflated =
      inflate_stream(index, INDEX_BUFFER_SIZE, buffers.index_stream.get(), stream_length);
  std::memset(index + inflated.produced, 0, INDEX_BUFFER_SIZE - inflated.produced);

  // table.bin is written even for an index that does not inflate: it shows what could be read.
  if (auto failure = write_table(index)) return failure;
  if (inflated.status != Z_OK) {
    return archive_problem(state, "index does not inflate: " +
                                      describe_inflate_failure(inflated, INDEX_BUFFER_SIZE));
  }
  // Opened read-only: nothing ever writes through this stream.
  state.table = open_file(TABLE_NAME, "rb");
  if (!state.table) return table_problem("cannot reopen", errno);
  return std::nullopt;
}

}  // namespace darvex
