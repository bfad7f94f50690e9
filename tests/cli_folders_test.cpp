// Black-box tests of names with directory parts: folders are made for them inside the output
// directory, '/' and '\' alike, never through a link; index order decides, at any job count,
// between a file and a folder of one name; folder entries, folder patterns and
// --strip-components. The suite CliFolders also runs against a Windows build; Folders needs
// POSIX links.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "expected_output.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

using names = std::vector<std::string>;

class CliFolders : public ::testing::Test {
 protected:
  tool_result extract(const test_archive& archive, std::vector<std::string> options = {}) {
    archive.write_to((dir_ / "file.dat").string());
    options.push_back("file.dat");
    return run_tool(dir_.path(), options);
  }
  std::string file(const std::string& relative) const { return read_file(dir_ / relative); }
  // The output directory's tree, table.bin aside.
  names tree() const {
    names paths = list_tree(dir_ / "file");
    std::erase(paths, "table.bin");
    return paths;
  }

  scratch_dir dir_;
};

TEST_F(CliFolders, NamesWithDirectoryPartsMakeATreeAndASecondRunGoesIntoIt) {
  const struct {
    std::string name;
    std::string path;  // where it lands
  } cases[] = {
      {"data\\config\\armor_0236.ini", "data/config/armor_0236.ini"},
      {"data/tex/rock.dds", "data/tex/rock.dds"},
      {"data\\tex/grass.dds", "data/tex/grass.dds"},
      {"a/b\\c/d\\e/f/g/h/deep.txt", "a/b/c/d/e/f/g/h/deep.txt"},
      {"./sub//x.txt", "sub/x.txt"},
      {"top.txt", "top.txt"},
  };
  test_archive archive;
  for (const auto& c : cases) archive.entries.push_back(entry(c.name, "bytes of " + c.path));
  names lines;
  for (const auto& c : cases) lines.push_back(c.name);
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run == 0 ? "into a new directory" : "into the tree the first run made");
    const tool_result result = extract(archive);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, progress("file", lines)) << "lines keep the stored names";
    for (const auto& c : cases) EXPECT_EQ(file("file/" + c.path), "bytes of " + c.path) << c.name;
  }
  EXPECT_EQ(tree(),
            (names{"a", "a/b", "a/b/c", "a/b/c/d", "a/b/c/d/e", "a/b/c/d/e/f", "a/b/c/d/e/f/g", "a/b/c/d/e/f/g/h",
                   "a/b/c/d/e/f/g/h/deep.txt", "data", "data/config", "data/config/armor_0236.ini", "data/tex",
                   "data/tex/grass.dds", "data/tex/rock.dds", "sub", "sub/x.txt", "top.txt"}));
}

TEST_F(CliFolders, AFileAndAFolderOfOneNameAreDecidedByIndexOrderAtAnyJobCount) {
  const struct {
    const char* label;
    names order;
    std::string err;
    names files;
  } cases[] = {
      {"the file first",
       {"d", "d/x", "e/y", "d\\z"},
       "DarvEx: entry 2 (d/x): cannot create: Not a directory\n"
       "DarvEx: entry 4 (d\\z): cannot create: Not a directory\n",
       {"d", "e", "e/y"}},
      {"the folder first",
       {"d/x", "e", "d", "d/y"},
       "DarvEx: entry 3 (d): cannot create: Is a directory\n",
       {"d", "d/x", "d/y", "e"}},
      {"a folder entry first", {"d/", "d"}, "DarvEx: entry 2 (d): cannot create: Is a directory\n", {"d"}},
  };
  for (const auto& c : cases) {
    test_archive archive;
    for (const std::string& name : c.order) {
      // Large early entries, so that with several workers the later ones would finish first.
      archive.entries.push_back(
          entry(name, name.back() == '/' ? "" : incompressible(name.size() == 1 ? 3000000 : 10, 1)));
    }
    std::map<std::string, std::string> first_files;
    for (const char* jobs : {"1", "4", "4", "4", "2"}) {
      SCOPED_TRACE(std::string(c.label) + ", -j " + jobs);
      fs::remove_all(dir_ / "file");
      const tool_result result = extract(archive, {"-j", jobs});
      EXPECT_EQ(result.status, 1);
      EXPECT_EQ(result.out, progress("file", c.order));
      EXPECT_EQ(result.err, c.err);
      EXPECT_EQ(tree(), c.files);
      std::map<std::string, std::string> files;
      for (const std::string& path : tree()) {
        if (fs::is_regular_file(dir_ / "file" / path)) files[path] = file("file/" + path);
      }
      if (first_files.empty()) first_files = files;
      EXPECT_TRUE(files == first_files) << "the same bytes in the same files";
    }
  }
}

// -n keeps what stands at a name, but a folder where a file goes, or a file where a folder
// goes, is in the way: the entry fails as it does without -n, and is not called kept.
TEST_F(CliFolders, NoOverwriteFailsAnEntryWhoseNameIsTakenByTheOtherKind) {
  const struct {
    const char* label;
    const char* name;
    bool folder_there;
    std::string err;
  } cases[] = {
      {"a folder where a file goes", "a", true, "DarvEx: entry 2 (a): cannot create: Is a directory\n"},
      {"a file where a folder goes", "a\\", false, "DarvEx: entry 2 (a\\): cannot create: Not a directory\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(dir_ / "file");
    fs::create_directories(dir_ / "file");
    if (c.folder_there) {
      fs::create_directories(dir_ / "file/a");
    } else {
      write_file(dir_ / "file/a", "kept");
    }
    test_archive archive;
    archive.entries = {entry("b", "b"), entry(c.name, c.folder_there ? "data" : "")};
    for (const char* jobs : {"1", "2"}) {
      fs::remove(dir_ / "file/b");
      const tool_result result = extract(archive, {"-n", "-j", jobs});
      EXPECT_EQ(result.status, 1) << jobs;
      EXPECT_EQ(result.out, progress("file", {"b", c.name})) << jobs;
      EXPECT_EQ(result.err, c.err) << jobs;
    }
  }
}

TEST_F(CliFolders, AFolderEntryMakesItsFolderAndOneWithDataIsRefused) {
  test_archive archive;
  archive.entries = {entry("empty/", ""), entry("nested\\deeper\\", ""), entry("with-data/", "12345"),
                     entry("empty/inside.txt", "in")};
  const tool_result result = extract(archive);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, progress("file", {"empty/", "nested\\deeper\\", "with-data/", "empty/inside.txt"}));
  EXPECT_EQ(result.err, "DarvEx: entry 3 (with-data/): names a folder but records 5 bytes of data\n");
  EXPECT_EQ(tree(), (names{"empty", "empty/inside.txt", "nested", "nested/deeper"}));
  const tool_result tested = run_tool(dir_.path(), {"-t", "file.dat"});
  EXPECT_EQ(tested.status, 1);
  EXPECT_NE(tested.out.find("OK      nested\\deeper\\\n"), std::string::npos) << tested.out;
}

TEST_F(CliFolders, APatternWithoutWildcardsTakesTheFolderItNames) {
  test_archive archive;
  archive.entries = {entry("data\\tex\\rock.dds", "r"), entry("data\\tex\\sub\\moss.dds", "m"),
                     entry("data\\texts\\a.txt", "t"), entry("data\\tex", "a file named like the folder"),
                     entry("other\\rock.dds", "o")};
  archive.write_to((dir_ / "file.dat").string());
  const struct {
    names options;
    names listed;
  } cases[] = {
      {{"-i", "data/tex"}, {"data\\tex\\rock.dds", "data\\tex\\sub\\moss.dds", "data\\tex"}},
      {{"-i", "data\\tex\\"}, {"data\\tex\\rock.dds", "data\\tex\\sub\\moss.dds"}},
      {{"-i", "data"}, {"data\\tex\\rock.dds", "data\\tex\\sub\\moss.dds", "data\\texts\\a.txt", "data\\tex"}},
      {{"-x", "data/tex"}, {"data\\texts\\a.txt", "other\\rock.dds"}},
      {{"-i", "data/te"}, {}},
      {{"-i", "data/tex*"}, {"data\\tex\\rock.dds", "data\\tex\\sub\\moss.dds", "data\\texts\\a.txt", "data\\tex"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.options));
    names args = c.options;
    args.insert(args.end(), {"-l", "file.dat"});
    const tool_result result = run_tool(dir_.path(), args);
    names listed;
    for (const char* name :
         {"data\\tex\\rock.dds", "data\\tex\\sub\\moss.dds", "data\\texts\\a.txt", "data\\tex", "other\\rock.dds"}) {
      if (result.out.find(std::string("  ") + name + "\n") != std::string::npos) listed.push_back(name);
    }
    EXPECT_EQ(listed, c.listed) << result.out;
  }
}

TEST_F(CliFolders, StripComponentsDropsLeadingPartsAndNamesLeftEmptyAreNotSelected) {
  test_archive archive;
  archive.entries = {entry("game\\data\\a.txt", "a"), entry("game/b.txt", "b"), entry("game\\", ""),
                     entry("top.txt", "top"), entry("game\\data\\sub\\", "")};
  const struct {
    std::string parts;
    names lines;
    names files;
  } cases[] = {
      {"0",
       {"game\\data\\a.txt", "game/b.txt", "game\\", "top.txt", "game\\data\\sub\\"},
       {"game", "game/b.txt", "game/data", "game/data/a.txt", "game/data/sub", "top.txt"}},
      {"1", {"game\\data\\a.txt", "game/b.txt", "game\\data\\sub\\"}, {"b.txt", "data", "data/a.txt", "data/sub"}},
      {"2", {"game\\data\\a.txt", "game\\data\\sub\\"}, {"a.txt", "sub"}},
      {"3", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("--strip-components " + c.parts);
    fs::remove_all(dir_ / "file");
    const tool_result result = extract(archive, {"--strip-components", c.parts});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, progress("file", c.lines));
    names expected = c.files;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(tree(), expected);
  }
  const tool_result listed = run_tool(dir_.path(), {"--strip-components=1", "-l", "file.dat"});
  EXPECT_NE(listed.out.find("3 entries\n"), std::string::npos) << listed.out;
}

class Folders : public CliFolders {
 protected:
  void SetUp() override {
    if (testing_a_windows_build()) GTEST_SKIP() << "POSIX links";
  }
  scratch_dir elsewhere_;  // outside the tree the tool works in
};

TEST_F(Folders, ALinkAtAnyFolderPartIsNeverFollowed) {
  fs::create_directories(dir_ / "file/real/deeper");
  fs::create_directory_symlink(elsewhere_.path(), dir_ / "file/top");
  fs::create_directory_symlink(elsewhere_.path(), dir_ / "file/real/mid");
  fs::create_directory_symlink(dir_ / "file/real", dir_ / "file/real/deeper/inside");  // even one that stays inside
  write_file(elsewhere_ / "victim", "victim");
  test_archive archive;
  archive.entries = {entry("top\\victim", "through"), entry("real/mid/x", "through"),
                     entry("real\\deeper\\inside\\y", "through"), entry("real/mid/", ""), entry("real\\ok", "ok")};
  const tool_result result = extract(archive, {"-j", "3"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            "DarvEx: entry 1 (top\\victim): cannot extract through a symbolic link\n"
            "DarvEx: entry 2 (real/mid/x): cannot extract through a symbolic link\n"
            "DarvEx: entry 3 (real\\deeper\\inside\\y): cannot extract through a symbolic link\n"
            "DarvEx: entry 4 (real/mid/): cannot extract through a symbolic link\n");
  EXPECT_EQ(list_tree(elsewhere_.path()), names{"victim"});
  EXPECT_EQ(read_file(elsewhere_ / "victim"), "victim");
  EXPECT_EQ(file("file/real/ok"), "ok");
}

}  // namespace
}  // namespace darvex::test_support
