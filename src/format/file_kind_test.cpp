#include <gtest/gtest.h>

#include "format/file_kind.hpp"

namespace darvex {
namespace {

using namespace std::string_literals;

// Eight binary bytes, then `index_offset` as the header stores it, then binary bytes.
std::string header_with(std::uint32_t index_offset) {
  std::string head = "\x01\x02\x00\x03\x04\x05\x06\x07"s;
  for (int shift = 24; shift >= 0; shift -= 8) head += static_cast<char>((index_offset >> shift) & 0xFF);
  return head + "\x78\x9C\x00\xFF"s;
}

std::string tar_head() {
  std::string head(512, '\0');
  head.replace(0, 8, "readme\0\0"s);
  head.replace(257, 8,
               "ustar\0"
               "00"s);
  return head;
}

TEST(FileKind, NamesWhatAFileThatDoesNotLoadSeemsToBe) {
  const struct {
    const char* label;
    std::string head;
    std::uint64_t size;
    const char* reason;  // nullptr: it may be an archive of this kind
  } cases[] = {
      {"zip", "PK\x03\x04\x14\x00\x00\x00\x08\x00"s, 152351919,
       "not an archive of this kind: it looks like a ZIP archive"},
      {"empty zip", "PK\x05\x06"s + std::string(18, '\0'), 22, "it looks like a ZIP archive"},
      {"gzip", "\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03"s, 300000, "it looks like a gzip file"},
      {"7z", "7z\xBC\xAF\x27\x1C\x00\x04"s, 9000, "it looks like a 7z archive"},
      {"RAR 4", "Rar!\x1A\x07\x00"s, 9000, "it looks like a RAR archive"},
      {"RAR 5", "Rar!\x1A\x07\x01\x00"s, 9000, "it looks like a RAR archive"},
      {"xz",
       "\xFD"
       "7zXZ\x00\x00\x04"s,
       9000, "it looks like an xz file"},
      {"bzip2", "BZh91AY&SY\x00\x01"s, 9000, "it looks like a bzip2 file"},
      {"zstd", "\x28\xB5\x2F\xFD\x24\x00"s, 9000, "it looks like a Zstandard file"},
      {"tar", tar_head(), 10240, "it looks like a tar archive"},
      {"text", "Dear reader,\r\n\tthis is a letter.\f\n", 4000, "not an archive of this kind: it looks like text"},
      {"UTF-8 text", "Caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\n"s, 30, "it looks like text"},
      {"short text", "hello\n", 6, "at 6 bytes it is too short to hold the 12-byte header"},
      {"text cut inside a character", "r\xC3\xA9sum\xC3\xA9 and more \xE6\xA1"s, 900, "it looks like text"},
      {"empty", "", 0, "not an archive of this kind: the file is empty"},
      {"short", "\x01\x02\x00\x04\x05"s, 5,
       "not an archive of this kind: at 5 bytes it is too short to hold the 12-byte header"},
      {"offset inside the header", header_with(4), 5000,
       "not an archive of this kind: its index offset, 4, lies inside the 12-byte header"},
      {"cut short", header_with(286217921), 200000000,
       "the archive is cut short: its index should start at 286217921 but the file ends at 200000000 (an unfinished "
       "download or copy?)"},
      {"index within the file", header_with(4000), 5000, nullptr},
      {"index at the end", header_with(5000), 5000, nullptr},
      {"binary with a control byte", "DARVTEST\x00\x00\x10\x00\x1B[0m"s, 5000, nullptr},
      {"Latin-1 bytes", "caf\xE9 cr\xE8\x00\x00\x00\x20me"s, 5000, nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> reason = not_an_archive_reason(c.head, c.size);
    if (c.reason == nullptr) {
      EXPECT_EQ(reason, std::nullopt) << c.label;
    } else {
      ASSERT_TRUE(reason.has_value()) << c.label;
      EXPECT_NE(reason->find(c.reason), std::string::npos) << c.label << ": " << *reason;
    }
  }
}

}  // namespace
}  // namespace darvex
