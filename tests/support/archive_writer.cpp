#include "archive_writer.hpp"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <stdexcept>

namespace darvex::test_support {
namespace {

void append_be32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

constexpr std::uint64_t HEADER_SIZE = 12;

}  // namespace

std::string zlib_compress(std::string_view data, int level) {
  uLongf length = compressBound(static_cast<uLong>(data.size()));
  std::string out(length, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(data.data()),
                static_cast<uLong>(data.size()), level) != Z_OK) {
    throw std::runtime_error("compress failed");
  }
  out.resize(length);
  return out;
}

test_entry entry(std::string name, std::string_view data) {
  return {std::move(name), zlib_compress(data), static_cast<std::uint32_t>(data.size()), {}};
}

std::vector<std::uint64_t> test_archive::stream_offsets() const {
  std::uint64_t at = data_start != 0 ? data_start : HEADER_SIZE + gap.size();
  std::vector<std::uint64_t> offsets;
  for (const test_entry& e : entries) {
    offsets.push_back(at);
    at += e.stream.size();
  }
  offsets.push_back(at);  // where the compressed index lies
  return offsets;
}

std::string test_archive::inflated_index() const {
  const std::vector<std::uint64_t> offsets = stream_offsets();
  std::string index = index_head;
  append_be32(index, entry_count.value_or(static_cast<std::uint32_t>(entries.size())));
  index += index_gap;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const test_entry& e = entries[i];
    index += static_cast<char>(e.name.size());
    index += e.name;
    append_be32(index, e.offset.value_or(static_cast<std::uint32_t>(offsets[i])));
    append_be32(index, e.size);
    index += trailer;
  }
  return index + index_tail;
}

std::string test_archive::head_bytes() const {
  std::string out = header;
  append_be32(out, index_offset.value_or(static_cast<std::uint32_t>(stream_offsets().back())));
  return out + gap;
}

std::string test_archive::body_bytes() const {
  std::string out;
  for (const test_entry& e : entries) out += e.stream;
  return out + index_stream.value_or(zlib_compress(inflated_index())) + after_index;
}

std::string test_archive::bytes() const {
  std::string out = head_bytes();
  out.resize(stream_offsets().front(), '\0');
  return out + body_bytes();
}

void test_archive::write_to(const std::string& path) const {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot create " + path);
  const std::string head = head_bytes();
  const std::string body = body_bytes();
  const bool written = std::fwrite(head.data(), 1, head.size(), file) == head.size() &&
                       fseeko(file, static_cast<off_t>(stream_offsets().front()), SEEK_SET) == 0 &&
                       std::fwrite(body.data(), 1, body.size(), file) == body.size();
  if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + path);
}

namespace {

std::mt19937 generator(std::uint32_t seed) { return std::mt19937(seed); }

}  // namespace

std::string text_like(std::size_t length, std::uint32_t seed) {
  static constexpr const char* words[] = {"<item",  " id=\"", "\">",     "</item>\n", "function ", "end\n",
                                          "local ", " = ",    "return ", "texture",   "mesh",      "0.5",
                                          "  ",     "if ",    " then\n", "name",      "value",     "; "};
  auto random = generator(seed);
  std::string out;
  out.reserve(length + 16);
  while (out.size() < length) out += words[random() % std::size(words)];
  out.resize(length);
  return out;
}

std::string binary_like(std::size_t length, std::uint32_t seed) {
  auto random = generator(seed);
  std::string out(length, '\0');
  float x = 0.0f;
  for (std::size_t i = 0; i + 4 <= length; i += 4) {
    x += static_cast<float>(random() % 64) / 256.0f;
    const auto value = static_cast<std::uint32_t>(x * 100.0f) + (i % 48 == 0 ? random() % 7 : 0);
    for (int b = 0; b < 4; ++b) out[i + b] = static_cast<char>((value >> (8 * b)) & 0xFF);
  }
  return out;
}

std::string incompressible(std::size_t length, std::uint32_t seed) {
  auto random = generator(seed);
  std::string out(length, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

std::string repeated(std::string_view unit, std::size_t length) {
  std::string out(unit);
  out.reserve(length);
  while (out.size() < length && !unit.empty()) out.append(out, 0, std::min(out.size(), length - out.size()));
  out.resize(length);
  return out;
}

}  // namespace darvex::test_support
