// Archive layout. Offsets count from the start of the file; integers are big-endian unsigned
// 32-bit values.
//
//   offset 0              8 bytes    not interpreted
//   offset 8              4 bytes    index_offset: where the compressed index starts
//   offset 12             ...        not interpreted, up to the first entry
//   each entry's offset   ...        the entries' zlib streams, in index order
//   index_offset          to EOF     the compressed index: one zlib stream (RFC 1950)
//
// The compressed index's length is stored nowhere: it is the archive's size less index_offset,
// and it must fit INDEX_BUFFER_SIZE. The index inflates into INDEX_BUFFER_SIZE bytes, zeros
// after it; those are the bytes table.bin holds and the bytes the entry table is parsed from.
// doc/format.md describes the archive, the index and what is refused, in one place.

#include <algorithm>
#include <cstring>

#include "format/archive.hpp"

namespace darvex {
namespace {

// The header's index_offset. Bytes past the end of a short archive read as 0xFF, as from a stream.
maybe_problem read_index_offset(const archive_file& archive, std::uint32_t& index_offset) {
  unsigned char field[4];
  const std::uint64_t after_field = archive.size() > INDEX_OFFSET_AT ? archive.size() - INDEX_OFFSET_AT : 0;
  const auto available = static_cast<std::size_t>(std::min<std::uint64_t>(after_field, sizeof field));
  if (auto failure = archive.read(INDEX_OFFSET_AT, field, available)) return failure;
  byte_cursor bytes(field, available);
  index_offset = read_be32(bytes);
  return std::nullopt;
}

}  // namespace

maybe_problem load_index(const archive_file& archive, inflater& inflate, loaded_index& index) {
  if (auto failure = read_index_offset(archive, index.index_offset)) return failure;
  if (index.index_offset > archive.size()) {
    return archive.trouble(problem_kind::index, "index offset " + std::to_string(index.index_offset) +
                                                    " lies past the end of the archive (" +
                                                    std::to_string(archive.size()) + " bytes)");
  }
  const std::uint64_t stream_length = archive.size() - index.index_offset;
  if (stream_length > INDEX_BUFFER_SIZE) {
    return archive.trouble(problem_kind::index, "compressed index of " + std::to_string(stream_length) +
                                                    " bytes exceeds the " + std::to_string(INDEX_BUFFER_SIZE) +
                                                    "-byte index buffer");
  }
  const auto length = static_cast<std::size_t>(stream_length);
  const std::unique_ptr<unsigned char[]> stream(new unsigned char[length]);
  if (auto failure = archive.read(index.index_offset, stream.get(), length, "cannot read the index")) return failure;
  index.bytes.reset(new unsigned char[INDEX_BUFFER_SIZE]);
  index.inflated = inflate.inflate(index.bytes.get(), INDEX_BUFFER_SIZE, stream.get(), length);
  std::memset(index.bytes.get() + index.inflated.produced, 0, INDEX_BUFFER_SIZE - index.inflated.produced);
  return std::nullopt;
}

maybe_problem check_index(const archive_file& archive, const loaded_index& index) {
  if (index.inflated.outcome == inflate_outcome::complete) return std::nullopt;
  // The index's stream runs to the end of the file: one that ends first was cut with the file.
  if (index.inflated.outcome == inflate_outcome::truncated) {
    return archive.trouble(problem_kind::index, "the archive is cut short: the file ends inside its index, " +
                                                    std::to_string(index.inflated.produced) +
                                                    " bytes of it inflated (an unfinished download or copy?)");
  }
  return archive.trouble(problem_kind::index,
                         "index does not inflate: " + describe_inflate_failure(index.inflated, INDEX_BUFFER_SIZE));
}

}  // namespace darvex
