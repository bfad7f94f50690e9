// Black-box tests that only a Windows build passes: names that Windows would turn into a
// device, a hidden data stream or a parent directory are refused, and nothing reaches them.
// They run when $DARVEX_TOOL is a Windows executable (the x86_64 build under Wine) and are
// skipped against a native build, where those names are ordinary files.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::testing {
namespace {

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(CliWindows, NamesWindowsWouldNotKeepAsFilesAreRefused) {
  if (!testing_a_windows_build()) GTEST_SKIP() << "the tool under test is not a Windows build";
  const std::vector<std::string> refused = {
      "CON",     "nul.txt", "Aux",     "COM1.log",     "lpt9", "prn.dat.bak",
      "CONOUT$", "conin$",  "sub/NUL", "x.txt:hidden", "ab:c", ".. ",
  };
  test_archive archive;
  archive.entries.push_back(entry("first.txt", "1"));
  for (const std::string& name : refused) archive.entries.push_back(entry(name, "sent to a device"));
  archive.entries.push_back(entry("last.txt", "2"));
  const scratch_dir dir;
  fs::create_directories(dir / "file/sub");
  archive.write_to((dir / "file.dat").string());

  const tool_result result = run_tool(dir.path(), {"file.dat"});
  EXPECT_EQ(result.status, 1);
  std::string expected_out = "\nfile\\first.txt\n";
  for (const std::string& name : refused) expected_out += "file\\" + name + "\n";
  EXPECT_EQ(result.out, expected_out + "file\\last.txt\nExtracion Complete");
  EXPECT_EQ(count_of(result.err, ": unsafe name: "), refused.size()) << result.err;
  EXPECT_EQ(count_of(result.err, "\n"), refused.size()) << result.err;
  EXPECT_EQ(list_tree(dir.path()), (std::vector<std::string>{"file", "file.dat", "file/first.txt", "file/last.txt",
                                                             "file/sub", "file/table.bin"}));
  EXPECT_EQ(read_file(dir / "file/last.txt"), "2");
}

}  // namespace
}  // namespace darvex::testing
