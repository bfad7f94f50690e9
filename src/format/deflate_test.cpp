#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "format/deflate.hpp"
#include "format/inflate.hpp"

namespace darvex {
namespace {

std::string compressed(deflater& compress, const std::string& data) {
  std::string stream(compress.bound(data.size()), '\0');
  const std::size_t length = compress.deflate(reinterpret_cast<unsigned char*>(stream.data()), stream.size(),
                                              reinterpret_cast<const unsigned char*>(data.data()), data.size());
  EXPECT_GT(length, 0u);
  stream.resize(length);
  return stream;
}

// What zlib alone, from a fresh state, inflates `stream` to, and whether it ended there.
std::string inflated_by_zlib(const std::string& stream, std::size_t room, bool& complete) {
  std::vector<unsigned char> out(room + 1);
  const inflate_result result =
      inflate_with_zlib(out.data(), room, reinterpret_cast<const unsigned char*>(stream.data()), stream.size());
  complete = result.outcome == inflate_outcome::complete;
  return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(result.produced));
}

const std::vector<std::string> CONTENTS = {
    "",
    "x",
    test_support::text_like(300000, 1),
    test_support::binary_like(200000, 2),
    test_support::incompressible(150000, 3),  // larger as a stream than as it is
    std::string(1 << 20, '\0'),
};

TEST(Deflater, EveryLevelMakesAPlainZlibStreamOfTheBytesWithinTheBound) {
  for (int level = MIN_COMPRESSION_LEVEL; level <= max_compression_level(); ++level) {
    deflater compress(level);
    for (const std::string& data : CONTENTS) {
      const std::string stream = compressed(compress, data);
      bool complete = false;
      EXPECT_TRUE(inflated_by_zlib(stream, data.size(), complete) == data) << "level " << level << ", " << data.size();
      EXPECT_TRUE(complete) << "level " << level << ", " << data.size() << " bytes";
      EXPECT_LE(stream.size(), compress.bound(data.size()));
    }
  }
}

TEST(Deflater, TheSameBytesGiveTheSameStreamWhicheverDeflaterAndWhateverCameBefore) {
  deflater fresh(DEFAULT_COMPRESSION_LEVEL);
  deflater reused(DEFAULT_COMPRESSION_LEVEL);
  for (const std::string& data : CONTENTS) compressed(reused, data);
  for (const std::string& data : CONTENTS) {
    deflater alone(DEFAULT_COMPRESSION_LEVEL);
    const std::string expected = compressed(alone, data);
    EXPECT_TRUE(compressed(fresh, data) == expected) << data.size() << " bytes";
    EXPECT_TRUE(compressed(reused, data) == expected) << data.size() << " bytes";
  }
}

TEST(Deflater, HigherLevelsCompressTextAtLeastAsWell) {
  const std::string& text = CONTENTS[2];
  deflater fast(MIN_COMPRESSION_LEVEL), best(max_compression_level());
  EXPECT_LE(compressed(best, text).size(), compressed(fast, text).size());
  EXPECT_LT(compressed(best, text).size(), text.size() / 3);
}

TEST(Crc32, MatchesKnownValuesAndRunsOn) {
  const std::string check = "123456789";
  const auto* bytes = reinterpret_cast<const unsigned char*>(check.data());
  EXPECT_EQ(crc32_of(bytes, check.size()), 0xCBF43926u);  // the CRC-32 check value
  EXPECT_EQ(crc32_of(bytes + 4, 5, crc32_of(bytes, 4)), 0xCBF43926u);
  EXPECT_EQ(crc32_of(bytes, 0), 0u);
}

}  // namespace
}  // namespace darvex
