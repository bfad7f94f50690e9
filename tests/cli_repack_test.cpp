// Black-box tests of the loop a modder runs: extract, delete, edit and add files, put the folder
// back with -c (with --like, with --sync, from table.bin), and what -c says of every record; the
// file at the name of a record extraction refused; a damaged entry kept as stored; a file that
// changes while it is read; an in-place repack's permissions, its syncs, an interrupt once it is
// in place; a link where the new archive goes.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "index_peek.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"

namespace darvex::test_support {
namespace {

using args = std::vector<std::string>;

constexpr const char* DELETED = "data/sound/sfx/snd_0000.ogg";
constexpr const char* DELETED_NAME = "data\\sound\\sfx\\snd_0000.ogg";

// The last line of `out` (which ends with a newline), without it.
std::string last_line(const std::string& out) {
  const std::size_t start = out.rfind('\n', out.size() - 2);
  return out.substr(start == std::string::npos ? 0 : start + 1,
                    out.size() - (start == std::string::npos ? 1 : start + 2));
}

// The line of `out` that holds `part`, or an empty string.
std::string line_with(const std::string& out, const std::string& part) {
  const std::size_t at = out.find(part);
  if (at == std::string::npos) return {};
  const std::size_t start = out.rfind('\n', at);
  const std::size_t end = out.find('\n', at);
  return out.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
}

class CliRepack : public ::testing::Test {
 protected:
  // A.dat: 30 entries in nested folders, extracted into A/.
  void SetUp() override {
    for (int i = 0; i < 10; ++i) {
      const std::string n = std::to_string(i);
      archive_.entries.push_back(entry("data\\sound\\sfx\\snd_000" + n + ".ogg", binary_like(3000 + i, i)));
      archive_.entries.push_back(entry("data\\tex\\t" + n + ".dds", incompressible(2000 + i, i)));
      archive_.entries.push_back(entry("data\\xml\\x" + n + ".xml", text_like(4000 + i, i)));
    }
    archive_.write_to((dir_ / "A.dat").string());
    ASSERT_EQ(run({"-q", "A.dat"}).status, 0);
  }

  tool_result run(const args& arguments, const run_options& options = {}) {
    return run_tool(dir_.path(), arguments, options);
  }
  std::string file(const std::string& relative) const { return read_file(dir_ / relative); }
  void put(const std::string& relative, const std::string& bytes) {
    fs::create_directories((dir_ / relative).parent_path());
    write_file(dir_ / relative, bytes);
  }
  std::vector<std::string> names_in(const std::string& archive) const {
    std::vector<std::string> names;
    const std::optional<std::vector<peeked_record>> records = peek_index(file(archive));
    EXPECT_TRUE(records.has_value()) << archive;
    for (const peeked_record& r : records.value_or(std::vector<peeked_record>{})) names.push_back(r.name);
    return names;
  }
  // Deletes one file, edits three (one at the same size), adds two that a user may not mean to.
  void edit_as_a_modder() {
    fs::remove(dir_ / "A" / DELETED);
    put("A/data/tex/t1.dds", incompressible(2001, 99));  // the same size
    put("A/data/xml/x2.xml", "<edited/>");
    put("A/data/sound/sfx/snd_0003.ogg", binary_like(9000, 98));
    put("A/Thumbs.db", "thumbnails");
    put("A/data/xml/x2.xml~", "an editor's backup");
  }

  scratch_dir dir_;
  test_archive archive_;
};

TEST_F(CliRepack, DeletedEditedAndAddedFilesGoBackAsTheFolderHasThem) {
  edit_as_a_modder();
  const std::string added = "2 added: Thumbs.db, data\\xml\\x2.xml~)";
  const struct {
    const char* what;
    args arguments;
    const char* deleted_fate;
    const char* deleted_status;  // in --json
    std::string closing;
    bool deleted_comes_back;
  } cases[] = {
      {"--like",
       {"-c", "NEW.dat", "--like", "A.dat", "A"},
       "kept: no file",
       "missing",
       "Created NEW.dat: 32 entries (26 kept, 1 kept: no file, 3 new, " + added,
       true},
      {"--like --sync",
       {"-c", "NEW.dat", "--like", "A.dat", "--sync", "A"},
       "dropped: no file",
       "dropped",
       "Created NEW.dat: 31 entries (26 kept, 3 new, " + added + ", 1 dropped: no file",
       false},
      {"table.bin, --sync",
       {"-c", "NEW.dat", "--sync", "A"},
       "dropped: no file",
       "dropped",
       "Created NEW.dat: 31 entries (0 kept, 29 new, " + added + ", 1 dropped: no file",
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir_ / "check");
    const tool_result made = run(c.arguments);
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err, "");
    EXPECT_NE(made.out.find(std::string("A\\") + DELETED_NAME + "  (" + c.deleted_fate + ")\n"), std::string::npos)
        << made.out;
    EXPECT_EQ(last_line(made.out), c.closing);
    ASSERT_EQ(run({"-q", "-d", "check", "NEW.dat"}).status, 0);
    EXPECT_EQ(fs::exists(dir_ / "check" / DELETED), c.deleted_comes_back);
    for (const char* changed : {"data/tex/t1.dds", "data/xml/x2.xml", "data/sound/sfx/snd_0003.ogg", "Thumbs.db",
                                "data/xml/x2.xml~", "data/tex/t9.dds"}) {
      EXPECT_TRUE(file(std::string("check/") + changed) == file(std::string("A/") + changed)) << changed;
    }
    args json = c.arguments;
    json.insert(json.begin(), "--json");
    const tool_result objects = run(json);
    EXPECT_EQ(objects.status, 0) << objects.err;
    const std::string deleted_object = line_with(objects.out, "snd_0000.ogg");
    EXPECT_NE(deleted_object.find(std::string("\"status\":\"") + c.deleted_status + "\""), std::string::npos)
        << objects.out << objects.err;
  }
}

TEST_F(CliRepack, WithoutLikeAMissingFileStopsTheRunAndSaysHowToLeaveItOut) {
  fs::remove(dir_ / "A" / DELETED);
  const tool_result stopped = run({"-c", "NEW.dat", "A"});
  EXPECT_EQ(stopped.status, 2);
  EXPECT_EQ(stopped.err, "DarvEx: \"" + as_shown(std::string("A/") + DELETED) +
                             "\": no such file, though record 1 of table.bin names it: -x '" + DELETED_NAME +
                             "' leaves the record out, --sync every record whose file is missing\n");
  EXPECT_FALSE(fs::exists(dir_ / "NEW.dat"));
  const tool_result following = run({"-q", "-c", "NEW.dat", "-x", DELETED_NAME, "A"});
  EXPECT_EQ(following.status, 0) << following.err;
  EXPECT_EQ(names_in("NEW.dat").size(), 29u);
}

TEST_F(CliRepack, TheClosingLineNamesTheFilesAddedWhenFewAndCountsThemOtherwise) {
  const struct {
    int files;
    std::string closing;
  } cases[] = {
      {1, "(30 kept, 0 new, 1 added: new\\0.txt)"},
      {10,
       "(30 kept, 0 new, 10 added: new\\0.txt, new\\1.txt, new\\2.txt, new\\3.txt, new\\4.txt, new\\5.txt, "
       "new\\6.txt, new\\7.txt, new\\8.txt, new\\9.txt)"},
      {11, "(30 kept, 0 new, 11 added)"},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir_ / "A/new");
    for (int i = 0; i < c.files; ++i) put("A/new/" + std::to_string(i) + ".txt", "new");
    const tool_result made = run({"-c", "NEW.dat", "--like", "A.dat", "A"});
    EXPECT_EQ(made.status, 0) << made.err;
    const std::string closing = last_line(made.out);
    EXPECT_EQ(closing.substr(closing.find('(')), c.closing) << c.files;
  }
}

// Records that extraction refuses or that point into the header, whatever it made of them:
// the file put at the name is what goes in, and the new archive extracts it.
TEST_F(CliRepack, AFileAtTheNameOfARecordExtractionRefusedOrDamagedIsPacked) {
  const struct {
    const char* what;
    void (*spoil)(test_entry& record);
    int extracted;  // the new archive's extraction: a.txt's span still runs back to the header
  } cases[] = {
      {"an offset inside the 12-byte header", [](test_entry& r) { r.offset = 5; }, 1},
      {"an offset past the index", [](test_entry& r) { r.offset = 0x7FFFFFF0u; }, 0},
      {"a size over 13,107,200", [](test_entry& r) { r.size = 13107201; }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test_archive hostile;
    hostile.entries = {entry("a.txt", "alpha"), entry("odd\\b.txt", "bravo"), entry("c.txt", "charlie")};
    c.spoil(hostile.entries[1]);
    hostile.write_to((dir_ / "o.dat").string());
    fs::remove_all(dir_ / "o");
    EXPECT_EQ(run({"-q", "o.dat"}).status, 1);
    put("o/odd/b.txt", "my own b");
    const tool_result made = run({"-c", "NEW.dat", "--like", "o.dat", "o"});
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.out.find("o\\odd\\b.txt  (new)\n"), std::string::npos) << made.out;
    fs::remove_all(dir_ / "check");
    EXPECT_EQ(run({"-q", "-d", "check", "NEW.dat"}).status, c.extracted);
    EXPECT_EQ(file("check/odd/b.txt"), "my own b");
    EXPECT_EQ(file("check/c.txt"), "charlie");
  }
}

TEST_F(CliRepack, ADamagedEntryIsKeptAsStoredAndMakesTheStatusOne) {
  test_archive damaged;
  damaged.entries = {entry("a.txt", "alpha"), entry("b.bin", binary_like(20000, 3)), entry("c.txt", "charlie")};
  damaged.entries[1].stream[damaged.entries[1].stream.size() / 2] ^= 0x55;
  damaged.write_to((dir_ / "o.dat").string());
  const tool_result extraction = run({"-q", "o.dat"});
  ASSERT_EQ(extraction.status, 1);
  const std::string reason = extraction.err.substr(extraction.err.find("): ") + 3);  // "damaged ...\n"
  const tool_result made = run({"-c", "NEW.dat", "--like", "o.dat", "o"});
  EXPECT_EQ(made.status, 1);
  EXPECT_EQ(made.err, "DarvEx: \"NEW.dat\": entry 2 (b.bin): kept as stored: " + reason);
  EXPECT_NE(made.out.find("o\\b.bin  (kept: damaged)\n"), std::string::npos) << made.out;
  EXPECT_EQ(last_line(made.out), "Created NEW.dat: 3 entries (2 kept, 1 kept: damaged, 0 new, 0 added)");
  EXPECT_TRUE(file("NEW.dat") == file("o.dat")) << "made all the same, byte for byte";
  const std::string object = line_with(run({"-q", "--json", "-c", "NEW.dat", "--like", "o.dat", "o"}).out, "b.bin");
  EXPECT_NE(object.find("\"status\":\"damaged\",\"reason\":\"" + reason.substr(0, reason.size() - 1) + "\"}"),
            std::string::npos)
      << object;
}

// A file that changes between the folder's scan and its read, or while it is read, stops the run:
// what would be packed is no state the file was ever in.
TEST_F(CliRepack, AFileThatChangesWhileTheRunReadsItStopsItAndReplacesNothing) {
  const struct {
    const char* what;
    void (*change)(const fs::path& file);
  } cases[] = {
      {"grows", [](const fs::path& f) { write_file(f, read_file(f) + std::string(65536, 'g')); }},
      {"shrinks", [](const fs::path& f) { fs::resize_file(f, fs::file_size(f) / 2); }},
      {"is written again, the same size",
       [](const fs::path& f) {
         write_file(f, incompressible(fs::file_size(f), 77));
         fs::last_write_time(f, fs::last_write_time(f) + std::chrono::seconds(5));
       }},
  };
  for (int i = 0; i < 6; ++i) put("in/f" + std::to_string(i), incompressible(2 << 20, i));
  put("in/zz.bin", incompressible(1 << 20, 9));
  ASSERT_EQ(run({"-q", "-c", "o.dat", "in"}).status, 0);
  const std::string before = file("o.dat");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // Once the new archive's temporary file is there, the folder was read: zz.bin changes, once.
    const fs::path dir = dir_.path();
    bool changed = false;
    run_options options;
    options.signal_when = [&] {
      if (changed) return false;
      for (const auto& item : fs::directory_iterator(dir)) {
        if (item.path().filename().string().rfind(".DarvEx-partial", 0) == 0) {
          c.change(dir / "in/zz.bin");
          changed = true;
        }
      }
      return false;
    };
    const tool_result made = run({"-j", "1", "--level", "9", "-c", "o.dat", "in"}, options);
    ASSERT_TRUE(changed);
    EXPECT_EQ(made.status, 2);
    EXPECT_EQ(made.err.rfind("DarvEx: \"" + as_shown("in/zz.bin") + "\": changed while it was read", 0), 0u)
        << made.err;
    EXPECT_TRUE(file("o.dat") == before);
    put("in/zz.bin", incompressible(1 << 20, 9));
  }
}

class CliRepackInPlace : public CliRepack {
 protected:
  void SetUp() override {
    if (testing_a_windows_build()) GTEST_SKIP() << "POSIX permissions, links and preloaded libraries";
    CliRepack::SetUp();
    put("A/data/xml/x2.xml", "<edited/>");
  }
  // Repacks A.dat in place with A/.
  tool_result repack(const run_options& options = {}) { return run({"-c", "A.dat", "--like", "A.dat", "A"}, options); }
};

TEST_F(CliRepackInPlace, KeepsTheArchivesPermissionBitsOwnerAndGroup) {
  const bool root = geteuid() == 0;
  const struct {
    mode_t mode;
    bool other_owner;  // owned by nobody, as only root may make it
  } cases[] = {{0600, false}, {0640, false}, {0444, false}, {0604, root}};
  for (const auto& c : cases) {
    const fs::path archive = dir_ / "A.dat";
    ASSERT_EQ(chmod(archive.c_str(), c.mode), 0);
    if (c.other_owner) {
      ASSERT_EQ(chown(archive.c_str(), 65534, 65534), 0);
    }
    struct stat before {};
    ASSERT_EQ(stat(archive.c_str(), &before), 0);
    put("A/data/xml/x3.xml", "<edited " + std::to_string(c.mode) + "/>");
    const tool_result made = repack();
    ASSERT_EQ(made.status, 0) << made.err;
    struct stat after {};
    ASSERT_EQ(stat(archive.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "replaced";
    EXPECT_EQ(after.st_mode & 07777, c.mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
  }
}

TEST_F(CliRepackInPlace, ALinkWhereTheArchiveGoesIsRefusedAndLeftAsItIs) {
  fs::rename(dir_ / "A.dat", dir_ / "real.dat");
  fs::create_symlink("real.dat", dir_ / "A.dat");
  const std::string before = file("real.dat");
  const tool_result made = run({"-c", "A.dat", "--like", "real.dat", "A"});
  EXPECT_EQ(made.status, 2);
  EXPECT_EQ(made.err,
            "DarvEx: \"A.dat\": is a symbolic link, FIFO or device, which -c never replaces: name the file itself\n");
  EXPECT_TRUE(fs::is_symlink(dir_ / "A.dat"));
  EXPECT_TRUE(file("real.dat") == before);
  EXPECT_EQ(run({"-q", "-c", "real.dat", "--like", "real.dat", "A"}).status, 0);
  EXPECT_FALSE(file("real.dat") == before);
}

// The lines the sync recorder wrote: "sync <path>" and "rename <from> <to>".
std::vector<std::string> recorded(const fs::path& log) {
  std::vector<std::string> lines;
  const std::string text = fs::exists(log) ? read_file(log) : "";
  for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

run_options recording(const fs::path& log, const std::string& interrupt_after = "") {
  std::vector<std::string> settings = {"LD_PRELOAD=" DARVEX_SYNC_RECORDER_PATH, "DARVEX_SYNC_LOG=" + log.string()};
  if (!interrupt_after.empty()) settings.push_back("DARVEX_INTERRUPT_AFTER=" + interrupt_after);
  return run_options::with_environment(settings);
}

TEST_F(CliRepackInPlace, IsSyncedBeforeItsRenameAndItsFolderAfter) {
  if (SANITIZED) GTEST_SKIP() << "a sanitized tool refuses a preloaded library";
  if (runs_under_a_launcher()) GTEST_SKIP() << "a preloaded library would record the launcher's calls (qemu-user)";
  const fs::path log = dir_ / "calls.log";
  const tool_result made = repack(recording(log));
  ASSERT_EQ(made.status, 0) << made.err;
  const std::vector<std::string> calls = recorded(log);
  ASSERT_EQ(calls.size(), 3u) << ::testing::PrintToString(calls);
  const std::string folder = fs::canonical(dir_.path()).string();
  const std::string synced = "sync " + folder + "/";
  ASSERT_EQ(calls[0].rfind(synced + ".DarvEx-partial\\", 0), 0u) << calls[0];
  EXPECT_EQ(calls[1], "rename " + calls[0].substr(synced.size()) + " A.dat");
  EXPECT_EQ(calls[2], "sync " + folder);
}

TEST_F(CliRepackInPlace, AnInterruptOnceTheArchiveIsInPlaceIsNoInterruption) {
  if (SANITIZED) GTEST_SKIP() << "a sanitized tool refuses a preloaded library";
  if (runs_under_a_launcher()) GTEST_SKIP() << "a preloaded library would record the launcher's calls (qemu-user)";
  const std::string before = file("A.dat");
  const struct {
    const char* after;
    int status;
    bool in_place;
  } cases[] = {{"sync", 130, false}, {"rename", 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.after);
    const tool_result made = repack(recording(dir_ / "calls.log", c.after));
    EXPECT_EQ(made.status, c.status) << made.err;
    EXPECT_EQ(made.err, c.in_place ? "" : "DarvEx: interrupted\n");
    EXPECT_EQ(last_line(made.out).rfind("Created A.dat: ", 0) == 0, c.in_place) << made.out;
    EXPECT_EQ(file("A.dat") != before, c.in_place);
  }
}

}  // namespace
}  // namespace darvex::test_support
