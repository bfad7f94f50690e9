// libFuzzer custom mutator. The index is stored compressed and checksummed, so nearly every byte
// mutation of it fails to inflate and the fuzzer would never reach the entry table. Half of the
// mutations therefore inflate the archive's index, mutate the index itself (counts, names,
// offsets, sizes) and compress it again; the other half mutate the raw archive bytes (header,
// index offset, entry streams and the compressed index alike).

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "format/archive.hpp"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

namespace {

constexpr std::size_t INDEX_OFFSET_FIELD = 8;
constexpr std::size_t INDEX_GROWTH = 4096;  // room a mutation may add to the inflated index

std::uint32_t be32_at(const std::uint8_t* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
         std::uint32_t{bytes[3]};
}

// The archive's inflated index, or an empty vector when it does not inflate.
std::vector<std::uint8_t> inflate_index(const std::uint8_t* stream, std::size_t length) {
  std::vector<std::uint8_t> index(darvex::INDEX_BUFFER_SIZE);
  uLongf produced = index.size();
  if (uncompress(index.data(), &produced, stream, length) != Z_OK) return {};
  index.resize(produced);
  return index;
}

// Mutates the inflated index in place and stores it compressed; 0 when that is not possible.
std::size_t mutate_index(std::uint8_t* data, std::size_t size, std::size_t max_size) {
  if (size < INDEX_OFFSET_FIELD + 4) return 0;
  const std::size_t index_offset = be32_at(data + INDEX_OFFSET_FIELD);
  if (index_offset > size) return 0;
  std::vector<std::uint8_t> index = inflate_index(data + index_offset, size - index_offset);
  if (index.empty()) return 0;

  const std::size_t length = index.size();
  index.resize(length + INDEX_GROWTH);
  index.resize(LLVMFuzzerMutate(index.data(), length, index.size()));

  uLongf stored = max_size - index_offset;
  if (compress(data + index_offset, &stored, index.data(), index.size()) != Z_OK) return 0;
  return index_offset + stored;
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t max_size,
                                               unsigned int seed) {
  if (std::minstd_rand(seed)() % 2 == 0) {
    // compress() may have written part of the stream before failing: start again from a copy.
    std::vector<std::uint8_t> original(data, data + size);
    if (const std::size_t mutated = mutate_index(data, size, max_size)) return mutated;
    std::memcpy(data, original.data(), size);
  }
  return LLVMFuzzerMutate(data, size, max_size);
}
