// Black-box tests of -c: an extraction put back into an archive, with or without the original,
// its files changed, added or left out; the limits and what is refused; the temporary file and
// the archive it replaces; the same bytes at any job count; every stream checked with zlib.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "archive_writer.hpp"
#include "format/archive.hpp"
#include "format/inflate.hpp"
#include "random_archives.hpp"
#include "run_tool.hpp"
#include "scratch.hpp"
#include "seed_archives.hpp"
#include "select/entry_plan.hpp"

namespace darvex::test_support {
namespace {

constexpr std::size_t ENTRY_LIMIT = 13107200;

// The entries the reader finds in an archive.
std::vector<planned_entry> entries_of(const std::string& path) {
  archive_file file;
  EXPECT_FALSE(file.open(path));
  inflater inflate;
  loaded_index index;
  EXPECT_FALSE(load_index(file, inflate, index));
  const auto table = std::make_unique<entry_table>();
  std::uint32_t count = 0;
  EXPECT_FALSE(read_entry_table(file, index, *table, count));
  return plan_entries(*table, count, index.index_offset).entries;
}

class Create : public ::testing::Test {
 public:
  void put(const std::string& relative, const std::string& bytes) {
    fs::create_directories((dir_ / relative).parent_path());
    write_file(dir_ / relative, bytes);
  }

 protected:
  tool_result run(const std::vector<std::string>& args, const run_options& options = {}) {
    return run_tool(dir_.path(), args, options);
  }
  // Writes `archive` as o.dat and extracts it into o/, fresh.
  tool_result extracted(const test_archive& archive) {
    fs::remove_all(dir_ / "o");
    archive.write_to((dir_ / "o.dat").string());
    return run({"-q", "o.dat"});
  }
  std::string file(const std::string& relative) const { return read_file(dir_ / relative); }
  bool leftovers() const {
    for (const auto& item : fs::directory_iterator(dir_.path())) {
      if (item.path().filename().string().rfind(".DarvEx-partial", 0) == 0) return true;
    }
    return false;
  }
  // Every entry of `archive` that extraction takes inflates with zlib alone, completely, to the
  // file of its name under `folder`.
  void expect_streams_are_the_files(const std::string& archive, const std::string& folder) {
    const std::string bytes = file(archive);
    for (const planned_entry& entry : entries_of((dir_ / archive).string())) {
      ASSERT_FALSE(entry.refused()) << entry.name;
      std::string out(entry.size + 1, '\0');
      const inflate_result result =
          inflate_with_zlib(reinterpret_cast<unsigned char*>(out.data()), entry.size,
                            reinterpret_cast<const unsigned char*>(bytes.data() + entry.start), entry.span_length());
      EXPECT_EQ(result.outcome, inflate_outcome::complete) << entry.name;
      out.resize(result.produced);
      EXPECT_TRUE(out == file(folder + "/" + joined(entry.path))) << entry.name;
    }
  }

  scratch_dir dir_;
};

// Archives whose every byte a game might read: a junk header, a gap and a hole before the
// first entry, bytes after streams, trailers and unread index bytes, an index tail and bytes
// after the index, damaged entries, refused names, duplicates, folders, records in the padding.
std::vector<std::pair<std::string, test_archive>> odd_archives() {
  std::vector<std::pair<std::string, test_archive>> out;
  test_archive odd;
  odd.header = std::string("\x89JUNK\0\xFF\x01", 8);
  odd.gap = "not interpreted";
  odd.data_start = 4096;
  odd.entries = {entry("a.txt", "alpha"), entry("dir\\b.xml", text_like(20000, 1)),
                 entry("c.bin", incompressible(5000, 2))};
  odd.entries[0].stream += "after the stream";
  odd.index_head = std::string("\x01\x02\x03\x04\x05\x06", 6);
  odd.index_gap = std::string(16, '\x7F');
  odd.trailer = std::string("seventeen bytes!\xFE", 17);
  odd.index_tail = "tail";
  odd.after_index = "after the index";
  out.emplace_back("odd", odd);

  test_archive damaged = odd;
  damaged.entries[1].stream[damaged.entries[1].stream.size() / 2] ^= 0x55;
  damaged.entries[2].stream.resize(damaged.entries[2].stream.size() / 3);
  damaged.entries.push_back(entry("longer.txt", "more than recorded"));
  damaged.entries.back().size = 4;
  out.emplace_back("damaged", damaged);

  test_archive names;
  names.entries = {entry("same.txt", "first"),  entry("Same.TXT", "case"),    entry("../up", "refused"),
                   entry("same.txt", "second"), entry("folder/", ""),         entry("folder/x", "x"),
                   entry("x", "file"),          entry("x/y", "not a folder"), entry("table.bin", "over the dump")};
  names.entries[2].offset = 0x7FFFFFF0u;  // and past the index
  names.entry_count = 12;                 // three more, read from the padding
  out.emplace_back("names", names);

  test_archive in_header;
  in_header.entries = {entry("h", "h"), entry("i", "i")};
  in_header.entries[0].offset = 4;  // a span that begins inside the header
  out.emplace_back("span_in_header", in_header);

  std::mt19937 random(12092026);
  for (int i = 0; i < 12; ++i) out.emplace_back("random " + std::to_string(i), random_archive(random));
  return out;
}

// How many times `text` holds `part`.
std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

TEST_F(Create, AnUntouchedExtractionOfAnyArchivePacksBackToItByteForByte) {
  std::vector<std::pair<std::string, test_archive>> archives = seed_archives();
  for (auto& odd : odd_archives()) archives.push_back(std::move(odd));
  for (const auto& [name, archive] : archives) {
    fs::remove(dir_ / "new.dat");
    const tool_result extraction = extracted(archive);
    const tool_result made = run({"-q", "-c", "new.dat", "--like", "o.dat", "o"});
    if (extraction.status == 2) {  // the index does not load: nothing to keep
      EXPECT_EQ(made.status, 2) << name;
      EXPECT_FALSE(fs::exists(dir_ / "new.dat")) << name;
      continue;
    }
    // Each entry that does not inflate cleanly is kept as stored, said so, and makes the status 1.
    const std::size_t damaged = count_of(run({"-t", "--json", "o.dat"}).out, "\"status\":\"damaged\"");
    EXPECT_EQ(made.status, damaged > 0 ? 1 : 0) << name << ": " << made.err;
    EXPECT_EQ(count_of(made.err, "\n"), damaged) << name << ": " << made.err;
    EXPECT_EQ(count_of(made.err, "): kept as stored: "), damaged) << name << ": " << made.err;
    EXPECT_TRUE(file("new.dat") == file("o.dat")) << name;
    EXPECT_FALSE(leftovers()) << name;
  }
}

TEST_F(Create, AChangedFileGetsANewStreamAndEveryOtherByteIsKept) {
  const test_archive archive = odd_archives()[0].second;
  ASSERT_EQ(extracted(archive).status, 0);
  put("o/dir/b.xml", "<changed/>");
  put("o/new/added.txt", "added");
  const tool_result made = run({"-c", "new.dat", "--like", "o.dat", "o"});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.out,
            "o\\a.txt  (kept)\no\\dir\\b.xml  (new)\no\\c.bin  (kept)\no\\new\\added.txt  (added)\n"
            "Created new.dat: 4 entries (2 kept, 1 new, 1 added: new\\added.txt)\n");
  const std::string old_bytes = file("o.dat"), new_bytes = file("new.dat");
  EXPECT_EQ(new_bytes.substr(0, 8), archive.header);
  EXPECT_EQ(new_bytes.substr(12, 4096 - 12), old_bytes.substr(12, 4096 - 12));  // gap and hole
  const std::vector<std::uint64_t> at = archive.stream_offsets();
  for (const std::size_t kept : {0u, 2u}) {  // whole spans, bytes after the stream included
    const std::string span = old_bytes.substr(at[kept], at[kept + 1] - at[kept]);
    EXPECT_NE(new_bytes.find(span), std::string::npos) << kept;
  }
  fs::rename(dir_ / "o", dir_ / "edited");
  ASSERT_EQ(run({"-q", "-d", "o", "new.dat"}).status, 0);
  for (const char* name : {"a.txt", "dir/b.xml", "c.bin", "new/added.txt"}) {
    EXPECT_TRUE(file(std::string("o/") + name) == file(std::string("edited/") + name)) << name;
  }
  const std::string table = file("o/table.bin");
  EXPECT_EQ(table.substr(0, 6), archive.index_head);
  EXPECT_EQ(table.substr(10, 16), archive.index_gap);
  EXPECT_EQ(table.substr(26 + 1 + 5 + 8, 17), archive.trailer);  // a.txt's record
  std::string added_record_end(17, '\0');  // an added record's zero trailer, then the index's tail
  added_record_end.append("tail");
  EXPECT_NE(table.find(added_record_end), std::string::npos);
  expect_streams_are_the_files("new.dat", "edited");
}

// A file of its record's size is compared with the record's bytes a piece at a time: a byte
// changed anywhere, in the first piece, past it or last, makes a new stream.
TEST_F(Create, AnEditThatKeepsTheSizeIsFoundWhereverItIs) {
  constexpr std::size_t SIZE = 700000;  // more than two of the pieces compared at a time
  test_archive archive;
  for (const char* name : {"first", "middle", "last", "same"})
    archive.entries.push_back(entry(name, text_like(SIZE, 7)));
  ASSERT_EQ(extracted(archive).status, 0);
  const struct {
    const char* name;
    std::size_t at;
  } edits[] = {{"first", 0}, {"middle", 300000}, {"last", SIZE - 1}};
  for (const auto& edit : edits) {
    std::string bytes = file(std::string("o/") + edit.name);
    bytes[edit.at] = static_cast<char>(bytes[edit.at] ^ 1);
    put(std::string("o/") + edit.name, bytes);
  }
  for (const char* jobs : {"1", "3"}) {
    const tool_result made = run({"-j", jobs, "-c", "new.dat", "--like", "o.dat", "o"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out,
              "o\\first  (new)\no\\middle  (new)\no\\last  (new)\no\\same  (kept)\n"
              "Created new.dat: 4 entries (1 kept, 3 new, 0 added)\n");
    expect_streams_are_the_files("new.dat", "o");
  }
}

TEST_F(Create, WithoutTheOriginalTheRecordsOfTableBinOrTheSortedFilesGoIn) {
  test_archive archive;
  archive.entries = {entry("z.txt", "zulu"), entry("sub\\m.txt", "mike"), entry("a.txt", "alpha")};
  archive.trailer = std::string(17, 'T');
  ASSERT_EQ(extracted(archive).status, 0);
  put("o/b/new.txt", "new");
  put("o/old.bak", "backup");
  const struct {
    const char* what;
    bool keep_table;
    std::vector<std::string> names;
  } cases[] = {
      {"table.bin", true, {"z.txt", "sub\\m.txt", "a.txt", "b\\new.txt"}},
      {"no table.bin", false, {"a.txt", "b\\new.txt", "sub\\m.txt", "z.txt"}},
  };
  for (const auto& c : cases) {
    if (!c.keep_table) fs::remove(dir_ / "o/table.bin");
    const tool_result made = run({"-q", "-c", "new.dat", "-x", "*.bak", "o"});
    ASSERT_EQ(made.status, 0) << c.what << ": " << made.err;
    std::vector<std::string> names;
    for (const planned_entry& entry : entries_of((dir_ / "new.dat").string())) names.push_back(entry.name);
    EXPECT_EQ(names, c.names) << c.what;
    expect_streams_are_the_files("new.dat", "o");
    EXPECT_EQ(file("new.dat").substr(0, 8), std::string(8, '\0')) << c.what;
    fs::remove_all(dir_ / "check");
    ASSERT_EQ(run({"-q", "-d", "check", "new.dat"}).status, 0);
    EXPECT_EQ(file("check/table.bin").substr(26 + 1 + 5 + 8, 17), std::string(17, c.keep_table ? 'T' : '\0'))
        << c.what << ": the first record's trailer";
  }
}

TEST_F(Create, ExcludedRecordsLeaveWithTheirBytes) {
  test_archive archive;
  archive.entries = {entry("keep.txt", "keep"), entry("drop.tmp", incompressible(5000, 1)), entry("also.txt", "also")};
  ASSERT_EQ(extracted(archive).status, 0);
  ASSERT_EQ(run({"-q", "-c", "new.dat", "--like", "o.dat", "-x", "*.tmp", "o"}).status, 0);
  const std::vector<planned_entry> entries = entries_of((dir_ / "new.dat").string());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].name, "also.txt");
  const std::string bytes = file("new.dat");
  EXPECT_EQ(bytes.find(archive.entries[1].stream), std::string::npos);
  EXPECT_EQ(bytes.substr(12, archive.entries[0].stream.size()), archive.entries[0].stream);
  EXPECT_EQ(bytes.substr(12 + archive.entries[0].stream.size(), archive.entries[2].stream.size()),
            archive.entries[2].stream);
}

// Asserts a status-2 stop: one "DarvEx: " line holding `subject` and `reason`, and no archive.
void expect_refused(const tool_result& result, const std::string& subject, const std::string& reason) {
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err.rfind("DarvEx: " + subject + ": ", 0), 0u) << result.err;
  EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
}

TEST_F(Create, EveryLimitStopsTheRunNamingWhatPassedItAndWritesNothing) {
  const struct {
    const char* what;
    void (*fill)(Create& test);
    std::string subject;
    const char* reason;
  } cases[] = {
      {"3,501 files",
       [](Create& t) {
         for (int i = 0; i < 3501; ++i) t.put("in/" + std::to_string(i), "");
       },
       "\"new.dat\"", "3501 entries, more than the 3500"},
      {"a file past the entry buffer", [](Create& t) { t.put("in/big", std::string(ENTRY_LIMIT + 1, 'b')); },
       "\"in/big\"", "13107201 bytes exceeds the 13107200-byte entry buffer"},
      {"a stream past the entry buffer", [](Create& t) { t.put("in/noise", incompressible(ENTRY_LIMIT, 1)); },
       "\"in/noise\"", "more than the 13107200-byte entry buffer holds"},
      {"a name past 255 bytes",
       [](Create& t) { t.put("in/" + std::string(200, 'd') + "/" + std::string(60, 'f'), ""); },
       "\"in/" + std::string(200, 'd') + "/" + std::string(60, 'f') + "\"", "longer than the 255 bytes"},
      {"an index past 524,288 bytes",
       [](Create& t) {
         for (int i = 0; i < 2100; ++i) t.put("in/" + std::to_string(10000 + i) + std::string(230, 'n'), "");
       },
       "\"new.dat\"", "exceeds the 524288-byte index buffer"},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir_ / "in");
    fs::create_directories(dir_ / "in");
    c.fill(*this);
    expect_refused(run({"-c", "new.dat", "in"}), c.subject, c.reason);
    EXPECT_FALSE(fs::exists(dir_ / "new.dat")) << c.what;
    EXPECT_FALSE(leftovers()) << c.what;
  }
}

TEST_F(Create, LinksFifosAndDevicesAreNeverFollowedOrReadUnlessLeftOut) {
  put("secret.txt", "outside");
  for (const auto& c : unfollowed_things()) {
    fs::remove_all(dir_ / "in");
    fs::remove(dir_ / "new.dat");
    put("in/ok.txt", "ok");
    fs::create_directories(dir_ / "in/sub");
    c.plant(dir_ / "in/sub" / c.name);
    expect_refused(run({"-c", "new.dat", "in"}), "\"in/sub/" + std::string(c.name) + "\"", "never followed or read");
    EXPECT_FALSE(fs::exists(dir_ / "new.dat")) << c.name;
    const tool_result made = run({"-q", "-c", "new.dat", "-x", std::string("sub/") + c.name, "in"});
    EXPECT_EQ(made.status, 0) << c.name << ": " << made.err;
    EXPECT_EQ(entries_of((dir_ / "new.dat").string()).size(), 1u) << c.name;
  }
}

TEST_F(Create, NoArchiveGoesIntoItselfAndATableBinMustBeAnIndexDump) {
  put("in/a.txt", "a");
  ASSERT_EQ(run({"-q", "-c", "in/new.dat", "in"}).status, 0);
  expect_refused(run({"-c", "in/new.dat", "in"}), "\"in/new.dat\"", "is the archive being made");
  ASSERT_EQ(run({"-q", "-x", "new.dat", "-c", "in/new.dat", "in"}).status, 0);
  fs::rename(dir_ / "in/new.dat", dir_ / "in/old.dat");
  expect_refused(run({"-c", "new.dat", "--like", "in/old.dat", "in"}), "\"in/old.dat\"", "is the archive being read");
  fs::remove(dir_ / "in/old.dat");
  put("in/table.bin", "not 524,288 bytes");
  expect_refused(run({"-c", "new.dat", "in"}), "\"in/table.bin\"", "not an index as extraction leaves it");
  EXPECT_FALSE(fs::exists(dir_ / "new.dat"));
}

TEST_F(Create, RepacksInPlaceAndAFailureLeavesTheArchiveAsItWas) {
  test_archive archive;
  archive.entries = {entry("a.txt", "alpha"), entry("b.txt", "bravo")};
  ASSERT_EQ(extracted(archive).status, 0);
  const std::string before = file("o.dat");
  fs::create_symlink("a.txt", dir_ / "o/link");
  EXPECT_EQ(run({"-c", "o.dat", "--like", "o.dat", "o"}).status, 2);
  EXPECT_TRUE(file("o.dat") == before);
  fs::remove(dir_ / "o/link");
  put("o/b.txt", "changed");
  const tool_result made = run({"-q", "-c", "o.dat", "--like", "o.dat", "o"});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_FALSE(file("o.dat") == before);
  EXPECT_FALSE(leftovers());
  fs::rename(dir_ / "o", dir_ / "edited");
  ASSERT_EQ(run({"-q", "o.dat"}).status, 0);
  EXPECT_EQ(file("o/b.txt"), "changed");
  EXPECT_EQ(file("o/a.txt"), "alpha");
}

TEST_F(Create, AnInterruptedRunLeavesTheArchiveAsItWasAndNoTemporaryFile) {
  test_archive archive;
  archive.entries = {entry("a.txt", "alpha")};
  ASSERT_EQ(extracted(archive).status, 0);
  for (int i = 0; i < 40; ++i) put("o/big" + std::to_string(i), incompressible(3 << 20, i));
  const std::string before = file("o.dat");
  const fs::path dir = dir_.path();
  const tool_result result =
      run({"-j", "1", "--level", "9", "-c", "o.dat", "--like", "o.dat", "o"}, run_options::interrupted_when([dir] {
            for (const auto& item : fs::directory_iterator(dir)) {
              if (item.path().filename().string().rfind(".DarvEx-partial", 0) == 0) return true;
            }
            return false;
          }));
  EXPECT_EQ(result.status, 130) << result.err;
  EXPECT_NE(result.err.find("DarvEx: interrupted"), std::string::npos) << result.err;
  EXPECT_TRUE(file("o.dat") == before);
  EXPECT_FALSE(leftovers());
}

TEST_F(Create, TheArchiveIsTheSameBytesWhateverTheJobs) {
  test_archive archive;
  for (std::uint32_t i = 0; i < 30; ++i) {
    const std::string contents = i % 2 == 0 ? text_like(50000, i) : incompressible(40000, i);
    archive.entries.push_back(entry(std::string(i % 3 == 0 ? "sub\\" : "") + std::to_string(i), contents));
  }
  ASSERT_EQ(extracted(archive).status, 0);
  for (std::uint32_t i = 0; i < 30; i += 3) put("o/sub/" + std::to_string(i), text_like(20000 + i, i));
  put("o/z/added.bin", binary_like(300000, 9));
  for (const bool like : {false, true}) {
    std::vector<std::string> archives;
    for (const char* jobs : {"1", "4"}) {
      const std::string name = std::string("j") + jobs + ".dat";
      std::vector<std::string> args = {"-q", "-j", jobs, "-c", name};
      if (like) args.insert(args.end(), {"--like", "o.dat"});
      args.push_back("o");
      ASSERT_EQ(run(args).status, 0) << jobs;
      archives.push_back(file(name));
    }
    EXPECT_TRUE(archives[0] == archives[1]) << (like ? "--like" : "from table.bin");
    expect_streams_are_the_files("j4.dat", "o");
  }
}

TEST_F(Create, OpensEachFileOnceWhateverTheJobsAndFolders) {
  if (SANITIZED) GTEST_SKIP() << "a sanitized tool refuses a preloaded library";
  if (runs_under_a_launcher()) GTEST_SKIP() << "a preloaded library would count the launcher's opens (qemu-user)";
  test_archive archive;
  const char* folders[] = {"", "a\\", "b\\c\\", "b\\"};
  for (std::uint32_t i = 0; i < 24; ++i) {
    archive.entries.push_back(entry(folders[i % 4] + std::to_string(i) + ".src", text_like(3000 + i, i)));
  }
  ASSERT_EQ(extracted(archive).status, 0);
  put("o/a/1.src", "changed");
  put("o/b/c/new.src", "added");
  for (const bool like : {false, true}) {
    for (const char* jobs : {"1", "4"}) {
      SCOPED_TRACE(std::string(like ? "--like" : "from table.bin") + ", -j " + jobs);
      std::vector<std::string> args = {"-q", "-j", jobs, "-c", "new.dat"};
      if (like) args.insert(args.end(), {"--like", "o.dat"});
      args.push_back("o");
      const counted_run_result counted = counted_run(dir_.path(), args, ".src");
      EXPECT_EQ(counted.run.status, 0) << counted.run.err;
      EXPECT_EQ(counted.opens, 25u) << "every file under o/ opened once, to be read";
    }
  }
}

}  // namespace
}  // namespace darvex::test_support
