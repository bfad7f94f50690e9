#include "format/file_kind.hpp"

#include "format/utf8.hpp"

namespace darvex {
namespace {

// The bytes other formats start with (tar's magic lies inside its first header).
struct signature {
  std::size_t at;
  std::string_view bytes;
  const char* kind;
};

constexpr signature SIGNATURES[] = {
    {0, "PK\x03\x04", "a ZIP archive"},
    {0, "PK\x05\x06", "a ZIP archive"},  // an empty one
    {0, "PK\x07\x08", "a ZIP archive"},  // the first part of a split one
    {0, "\x1F\x8B", "a gzip file"},
    {0, "7z\xBC\xAF\x27\x1C", "a 7z archive"},
    {0, "Rar!\x1A\x07", "a RAR archive"},
    {0,
     {"\xFD"
      "7zXZ\0",
      6},
     "an xz file"},
    {0, "BZh", "a bzip2 file"},
    {0, "\x28\xB5\x2F\xFD", "a Zstandard file"},
    {257, "ustar", "a tar archive"},
};

const char* other_format(std::string_view head) {
  for (const signature& known : SIGNATURES) {
    if (head.size() >= known.at + known.bytes.size() && head.substr(known.at, known.bytes.size()) == known.bytes) {
      return known.kind;
    }
  }
  return nullptr;
}

bool is_text_control(unsigned char byte) { return byte == '\t' || byte == '\n' || byte == '\f' || byte == '\r'; }

// Whether `head` reads as UTF-8 text (ASCII included) with no control but line breaks, tabs and
// form feeds. A character cut by the end of the head counts, unless the head is the whole file.
bool looks_like_text(std::string_view head, bool whole_file) {
  for (std::size_t at = 0; at < head.size();) {
    const auto byte = static_cast<unsigned char>(head[at]);
    if (byte >= 0x80) {
      const std::size_t length = utf8_sequence_length(head, at);
      if (length == 0) return !whole_file && head.size() - at < 4;
      at += length;
    } else if ((byte < 0x20 && !is_text_control(byte)) || byte == 0x7F) {
      return false;
    } else {
      ++at;
    }
  }
  return !head.empty();
}

// The header's index_offset, read as the loader reads it: bytes past the end count as 0xFF.
std::uint32_t index_offset_of(std::string_view head) {
  const std::string_view field = head.size() > INDEX_OFFSET_AT ? head.substr(INDEX_OFFSET_AT, 4) : "";
  byte_cursor bytes(reinterpret_cast<const unsigned char*>(field.data()), field.size());
  return read_be32(bytes);
}

}  // namespace

std::optional<std::string> not_an_archive_reason(std::string_view head, std::uint64_t file_size) {
  const std::string other_kind = "not an archive of this kind: ";
  const std::string header = "the " + std::to_string(HEADER_SIZE) + "-byte header";
  if (file_size == 0) return other_kind + "the file is empty";
  if (const char* kind = other_format(head)) return other_kind + "it looks like " + kind;
  if (file_size < HEADER_SIZE) {
    return other_kind + "at " + std::to_string(file_size) + " bytes it is too short to hold " + header;
  }
  if (looks_like_text(head, file_size <= head.size())) return other_kind + "it looks like text";
  const std::uint32_t index_offset = index_offset_of(head);
  if (index_offset < HEADER_SIZE) {
    return other_kind + "its index offset, " + std::to_string(index_offset) + ", lies inside " + header;
  }
  if (index_offset > file_size) {
    return "the archive is cut short: its index should start at " + std::to_string(index_offset) +
           " but the file ends at " + std::to_string(file_size) + " (an unfinished download or copy?)";
  }
  return std::nullopt;
}

maybe_problem plain_load_failure(const archive_file& archive, const problem& failure) {
  if (failure.kind != problem_kind::index) return std::nullopt;
  unsigned char head[FILE_HEAD_SIZE];
  const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(archive.size(), FILE_HEAD_SIZE));
  if (archive.read(0, head, length)) return std::nullopt;
  const std::optional<std::string> reason =
      not_an_archive_reason({reinterpret_cast<const char*>(head), length}, archive.size());
  if (!reason) return std::nullopt;
  return archive.trouble(failure.kind, *reason);
}

}  // namespace darvex
