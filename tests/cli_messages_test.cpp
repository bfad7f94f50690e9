// Black-box tests of messages that must say which file they are about: with several archives,
// every line about an entry names its archive (one archive alone keeps its lines as they were);
// an archive cut short inside its index says so; an output directory named after the archive
// that is a file says so.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

using args = std::vector<std::string>;

// B.dat and two damaged copies of it, each of whose second entry does not inflate.
class CliMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    test_archive b;
    b.entries = {entry("readme.txt", "read me"), entry("rock.dds", binary_like(8000, 1)),
                 entry("level.xml", text_like(9000, 2))};
    b.write_to((dir_ / "B.dat").string());
    for (const char* copy : {"B_flip.dat", "B_flip2.dat"}) {
      test_archive flipped = b;
      flipped.entries[1].stream[flipped.entries[1].stream.size() / (copy[6] == '2' ? 3 : 2)] ^= 0x41;
      flipped.write_to((dir_ / copy).string());
    }
  }
  tool_result run(const args& arguments) { return run_tool(dir_.path(), arguments); }

  scratch_dir dir_;
};

TEST_F(CliMessages, WithSeveralArchivesEveryLineAboutAnEntryNamesItsArchive) {
  for (const args& command : {args{"-q"}, args{"-t"}, args{"-p"}}) {
    SCOPED_TRACE(::testing::PrintToString(command));
    args several = command;
    several.insert(several.end(), {"B.dat", "B_flip.dat", "B_flip2.dat"});
    const tool_result together = run(several);
    EXPECT_EQ(together.status, 1);
    std::string expected;
    for (const char* flipped : {"B_flip.dat", "B_flip2.dat"}) {
      args alone = command;
      alone.push_back(flipped);
      const std::string err = run(alone).err;
      ASSERT_EQ(err.rfind("DarvEx: entry 2 (rock.dds): ", 0), 0u) << "alone, as it always was: " << err;
      expected += "DarvEx: \"" + std::string(flipped) + "\": " + err.substr(8);
    }
    EXPECT_EQ(together.err, expected);
  }
}

TEST_F(CliMessages, AnArchiveCutShortInsideItsIndexSaysSoAndLeavesNoFolder) {
  test_archive many;
  for (int i = 0; i < 40; ++i) many.entries.push_back(entry(numbered("data\\e", i), text_like(100, i)));
  const std::string bytes = many.bytes();
  for (const std::size_t cut : {1, 4, 20, 200}) {
    write_file(dir_ / "short.dat", bytes.substr(0, bytes.size() - cut));
    const tool_result result = run({"short.dat"});
    EXPECT_EQ(result.status, 2) << cut;
    EXPECT_EQ(result.err.rfind("DarvEx: \"short.dat\": the archive is cut short: the file ends inside its index, ", 0),
              0u)
        << cut << ": " << result.err;
    EXPECT_FALSE(fs::exists(dir_ / "short")) << cut;
  }
}

TEST_F(CliMessages, AnOutputDirectoryNamedAfterTheArchiveThatIsAFileSaysSo) {
  fs::copy_file(dir_ / "B.dat", dir_ / "B.dat.bak");
  const tool_result result = run({"B.dat.bak"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err,
            "DarvEx: \"B.dat.bak\": the output directory \"B.dat\" would be the file \"B.dat\"; use -d DIR\n");
  EXPECT_EQ(run({"-q", "-d", "restored", "B.dat.bak"}).status, 0);
}

}  // namespace
}  // namespace darvex::test_support
