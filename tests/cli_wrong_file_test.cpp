// Black-box tests of files that are no archives of this kind, or archives cut short: the run
// stops with status 2 and one line that says so in plain words, whatever else the file holds.
// An archive that loads is extracted whatever its header holds.

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "expected_output.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"
#include "zip_writer.hpp"

namespace darvex::test_support {
namespace {

// `data` as a gzip file, at zlib's default level.
std::string gzip_compress(const std::string& data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&stream, data.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return out;
}

test_archive two_entries() {
  test_archive archive;
  archive.entries = {entry("a.txt", "alpha"), entry("b.bin", incompressible(300000, 1))};
  return archive;
}

struct wrong_file {
  const char* label;
  std::string name;
  std::string bytes;
  std::string reason;
};

std::vector<wrong_file> wrong_files() {
  const std::string whole = two_entries().bytes();
  const std::string cut = whole.substr(0, 200000);
  // At zlib's default level a gzip header's bytes 8 to 11 put the "index" some 200 KB in: inside
  // this file, so that its bytes are inflated, and fail.
  const std::string gzip = gzip_compress(incompressible(300000, 2));
  return {
      {"zip", "patch.zip", zip_bytes({zip_member_of("readme.txt", text_like(4000, 3))}),
       "not an archive of this kind: it looks like a ZIP archive"},
      {"gzip", "data.dat.gz", gzip, "not an archive of this kind: it looks like a gzip file"},
      {"text", "notes.txt", text_like(5000, 4), "not an archive of this kind: it looks like text"},
      {"cut short", "file.dat", cut,
       "the archive is cut short: its index should start at " + std::to_string(two_entries().stream_offsets().back()) +
           " but the file ends at 200000 (an unfinished download or copy?)"},
      {"too short", "tiny.dat", "\x01\x02\x03",
       "not an archive of this kind: at 3 bytes it is too short to hold the "
       "12-byte header"},
      {"empty", "empty.dat", "", "not an archive of this kind: the file is empty"},
  };
}

TEST(CliWrongFiles, SayWhatTheFileSeemsToBeAndStop) {
  for (const wrong_file& wrong : wrong_files()) {
    for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"-l"}, {"-t"}}) {
      SCOPED_TRACE(std::string(wrong.label) + " " + ::testing::PrintToString(options));
      const scratch_dir dir;
      write_file(dir / wrong.name, wrong.bytes);
      std::vector<std::string> args = options;
      args.push_back(wrong.name);
      const tool_result result = run_tool(dir.path(), args);
      EXPECT_EQ(result.status, 2);
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(result.err, "DarvEx: \"" + wrong.name + "\": " + wrong.reason + "\n");
      EXPECT_EQ(list_tree(dir.path()), std::vector<std::string>{wrong.name}) << "no folder, no table.bin";
    }
  }
}

// Folders made for a run that then stops are taken back while empty: -d's parents too, but no
// folder that was there before, and none that holds anything.
TEST(CliWrongFiles, AStoppedRunLeavesNoFolderOfItsOwnMaking) {
  test_archive damaged = two_entries();
  damaged.index_stream = zlib_compress(damaged.inflated_index()).substr(0, 12);
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> before;  // folders there before the run
    std::vector<std::string> after;   // what the tree holds afterwards, the archive aside
  } cases[] = {
      {{"--no-table", "file.dat"}, {}, {}},
      {{"--no-table", "-d", "a/b/c", "file.dat"}, {}, {}},
      {{"--no-table", "-d", "a/b/c", "file.dat"}, {"a"}, {"a"}},
      {{"--no-table", "-d", "a/b/c", "file.dat"}, {"a/b/c"}, {"a", "a/b", "a/b/c"}},
      {{"-d", "a/b/c", "file.dat"}, {}, {}},
      {{"-d", "a/b/c", "file.dat"}, {"a/b"}, {"a", "a/b"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args) + " " + ::testing::PrintToString(c.before));
    const scratch_dir dir;
    damaged.write_to((dir / "file.dat").string());
    for (const std::string& folder : c.before) fs::create_directories(dir / folder);
    const tool_result result = run_tool(dir.path(), c.args);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("the archive is cut short"), std::string::npos) << result.err;
    std::vector<std::string> expected = c.after;
    expected.push_back("file.dat");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(list_tree(dir.path()), expected);
  }
}

TEST(CliWrongFiles, AnArchiveThatLoadsExtractsWhateverItsHeaderHolds) {
  for (const std::string& header :
       {std::string("PK\x03\x04\x14\x00\x00\x00", 8), std::string("\x1F\x8B\x08\x00zz\x00\x00", 8),
        std::string("Rar!\x1A\x07\x01\x00", 8), std::string("plain te", 8)}) {
    const scratch_dir dir;
    test_archive archive = two_entries();
    archive.header = header;
    archive.gap = "just text, the kind a text file holds";
    archive.write_to((dir / "file.dat").string());
    const tool_result result = run_tool(dir.path(), {"file.dat"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, progress("file", {"a.txt", "b.bin"}));
    EXPECT_EQ(read_file(dir / "file/a.txt"), "alpha");
  }
}

}  // namespace
}  // namespace darvex::test_support
