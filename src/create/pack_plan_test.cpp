#include <gtest/gtest.h>

#include "archive_writer.hpp"
#include "create/original_archive.hpp"
#include "create/pack_plan.hpp"
#include "scratch.hpp"

namespace darvex {
namespace {

using test_support::entry;
using test_support::test_archive;
using test_support::test_entry;

// The original's layout and records, read as extraction reads them.
struct read_archive {
  original_layout layout;
  index_image index;
};

read_archive read_with_the_reader(const test_archive& archive) {
  const test_support::scratch_dir dir;
  archive.write_to((dir / "a.dat").string());
  original_archive original;
  EXPECT_FALSE(read_original((dir / "a.dat").string(), original));
  return {original.layout, *index_image::parse(original.index)};
}

std::vector<source_file> files_named(const std::vector<std::string>& names, std::uint64_t size = 1) {
  std::vector<source_file> files;
  for (const std::string& name : names) {
    source_file file;
    file.path = path_of_entry(name);
    file.stored_name = name;
    file.key = file_key(file.path);
    file.size = size;
    files.push_back(file);
  }
  return files;
}

// A piece as the tests spell it: its kind, record, original bytes and file.
struct piece_view {
  piece_kind kind;
  std::optional<std::size_t> record;
  std::uint64_t start, end;
  std::optional<std::size_t> file;
  bool operator==(const piece_view&) const = default;
};

std::vector<piece_view> pieces_of(const pack_plan& plan) {
  std::vector<piece_view> views;
  for (const pack_piece& p : plan.pieces) views.push_back({p.kind, p.record, p.start, p.end, p.file});
  return views;
}

std::vector<std::string> names_of(const pack_plan& plan) {
  std::vector<std::string> names;
  for (const auto& r : plan.index.records()) names.push_back(r.name);
  return names;
}

test_archive gapped() {
  test_archive archive;
  archive.gap = "bytes before the first entry";
  archive.entries = {entry("a.txt", "alpha"), entry("b\\c.txt", "bravo"), entry("d.txt", "delta")};
  archive.entries[0].stream += "after";  // bytes after its stream, inside its span
  return archive;
}

TEST(PackPlan, WithAnOriginalEverySpanIsAPieceAndTheBytesBetweenAreCopied) {
  const test_archive archive = gapped();
  const std::vector<std::uint64_t> at = archive.stream_offsets();
  const read_archive original = read_with_the_reader(archive);
  const std::vector<source_file> files = files_named({"a.txt", "b/c.txt", "d.txt"});
  pack_plan plan;
  ASSERT_FALSE(plan_pack(original.index, &original.layout, files, {}, "dir", plan));
  EXPECT_EQ(pieces_of(plan), (std::vector<piece_view>{{piece_kind::copy, {}, 12, at[0], {}},
                                                      {piece_kind::compare, 0, at[0], at[1], 0},
                                                      {piece_kind::compare, 1, at[1], at[2], 1},
                                                      {piece_kind::compare, 2, at[2], at[3], 2}}));
  EXPECT_TRUE(plan.index.bytes() == original.index.bytes());
  EXPECT_TRUE(plan.unstreamed.empty());
}

TEST(PackPlan, EntriesWhoseFilesCannotBeTheirsKeepTheirBytesAndAreChecked) {
  test_archive archive;
  archive.entries = {entry("same.txt", "first"),   entry("../up.txt", "refused"), entry("same.txt", "second"),
                     entry("missing.txt", "gone"), entry("folder/", ""),          entry("kept.txt", "k")};
  const std::vector<std::uint64_t> at = archive.stream_offsets();
  const read_archive original = read_with_the_reader(archive);
  pack_plan plan;
  ASSERT_FALSE(plan_pack(original.index, &original.layout, files_named({"kept.txt", "same.txt"}), {}, "dir", plan));
  EXPECT_EQ(pieces_of(plan), (std::vector<piece_view>{{piece_kind::check, 0, at[0], at[1], {}},  // written over later
                                                      {piece_kind::copy, {}, at[1], at[2], {}},  // refused: in between
                                                      {piece_kind::compare, 2, at[2], at[3], 1},
                                                      {piece_kind::check, 3, at[3], at[4], {}},  // no file
                                                      {piece_kind::check, 4, at[4], at[5], {}},  // a folder
                                                      {piece_kind::compare, 5, at[5], at[6], 0}}));
  EXPECT_EQ(plan.unstreamed, (std::vector<std::size_t>{1}));
  EXPECT_EQ(plan.file_missing, (std::vector<bool>{false, false, false, true, false, false}));
  EXPECT_TRUE(plan.dropped.empty());
}

// The file at a record's name goes in whatever extraction made of the record; a refused name
// names no file, so a file there is a file of its own.
TEST(PackPlan, AFileAtTheNameOfARecordWithoutASpanOfItsOwnIsWhatGoesIn) {
  const std::uint32_t too_large = 13107201;
  const struct {
    const char* what;
    std::vector<test_entry> entries;
    std::vector<std::optional<std::uint32_t>> offsets;  // instead of where each lies
    std::vector<std::optional<std::uint32_t>> sizes;    // instead of each one's size
    std::vector<std::string> files;
    // The pieces, with "at N" for the Nth stream's offset (N = count: the index).
    std::vector<piece_view> (*pieces)(const std::vector<std::uint64_t>& at);
    std::vector<std::size_t> unstreamed;
  } cases[] = {
      {"refused for its size: packed in place of its span",
       {entry("a.txt", "a"), entry("big.bin", "b"), entry("c.txt", "c")},
       {},
       {{}, too_large, {}},
       {"a.txt", "big.bin", "c.txt"},
       [](const std::vector<std::uint64_t>& at) {
         return std::vector<piece_view>{{piece_kind::compare, 0, at[0], at[1], 0},
                                        {piece_kind::pack, 1, at[1], at[2], 1},
                                        {piece_kind::compare, 2, at[2], at[3], 2}};
       },
       {}},
      {"refused for an offset past the index: packed where it falls in index order",
       {entry("a.txt", "a"), entry("far.txt", "f"), entry("c.txt", "c")},
       {{}, 0x7FFFFFF0u, {}},
       {},
       {"a.txt", "c.txt", "far.txt"},
       [](const std::vector<std::uint64_t>& at) {
         return std::vector<piece_view>{{piece_kind::compare, 0, at[0], at[2], 0},
                                        {piece_kind::pack, 1, 0, 0, 2},
                                        {piece_kind::compare, 2, at[2], at[3], 1}};
       },
       {}},
      {"an offset in the header: compared, where it falls in index order",
       {entry("h.txt", "h"), entry("i.txt", "i")},
       {4u, {}},
       {},
       {"h.txt", "i.txt"},
       [](const std::vector<std::uint64_t>& at) {
         return std::vector<piece_view>{{piece_kind::revise, 0, 4, at[1], 0},
                                        {piece_kind::copy, {}, 12, at[1], {}},
                                        {piece_kind::compare, 1, at[1], at[2], 1}};
       },
       {}},
      {"refused, while an entry extraction writes has its name: the file is that one's",
       {entry("dup.txt", "d"), entry("dup.txt", "e")},
       {},
       {too_large, {}},
       {"dup.txt"},
       [](const std::vector<std::uint64_t>& at) {
         return std::vector<piece_view>{{piece_kind::copy, {}, 12, at[1], {}},
                                        {piece_kind::compare, 1, at[1], at[2], 0}};
       },
       {0}},
      {"an unsafe name: the file of its parts is added",
       {entry("/abs.txt", "a"), entry("ok.txt", "o")},
       {},
       {},
       {"abs.txt", "ok.txt"},
       [](const std::vector<std::uint64_t>& at) {
         return std::vector<piece_view>{{piece_kind::copy, {}, 12, at[1], {}},
                                        {piece_kind::compare, 1, at[1], at[2], 1},
                                        {piece_kind::pack, 2, 0, 0, 0}};
       },
       {0}},
  };
  for (const auto& c : cases) {
    test_archive archive;
    archive.entries = c.entries;
    for (std::size_t i = 0; i < c.offsets.size(); ++i) archive.entries[i].offset = c.offsets[i];
    for (std::size_t i = 0; i < c.sizes.size(); ++i) {
      if (c.sizes[i]) archive.entries[i].size = *c.sizes[i];
    }
    const read_archive original = read_with_the_reader(archive);
    pack_plan plan;
    ASSERT_FALSE(plan_pack(original.index, &original.layout, files_named(c.files), {}, "dir", plan)) << c.what;
    EXPECT_EQ(pieces_of(plan), c.pieces(archive.stream_offsets())) << c.what;
    EXPECT_EQ(plan.unstreamed, c.unstreamed) << c.what;
  }
}

TEST(PackPlan, SyncDropsTheRecordsWhoseFileIsMissingWithOrWithoutAnOriginal) {
  test_archive archive = gapped();
  archive.entries[1] = entry("gone.txt", "gone");
  const std::vector<std::uint64_t> at = archive.stream_offsets();
  const read_archive original = read_with_the_reader(archive);
  const std::vector<source_file> files = files_named({"a.txt", "d.txt"});
  for (const bool like : {true, false}) {
    pack_plan plan;
    ASSERT_FALSE(plan_pack(original.index, like ? &original.layout : nullptr, files, {{}, true}, "dir", plan));
    EXPECT_EQ(names_of(plan), (std::vector<std::string>{"a.txt", "d.txt"})) << like;
    ASSERT_EQ(plan.dropped.size(), 1u) << like;
    EXPECT_EQ(plan.dropped[0].name, "gone.txt");
    EXPECT_EQ(plan.dropped[0].size, 4u);
    EXPECT_EQ(plan.file_missing, (std::vector<bool>{false, false}));
    if (like) {
      EXPECT_EQ(pieces_of(plan), (std::vector<piece_view>{{piece_kind::copy, {}, 12, at[0], {}},
                                                          {piece_kind::compare, 0, at[0], at[1], 0},
                                                          {piece_kind::drop, {}, at[1], at[2], {}},
                                                          {piece_kind::compare, 1, at[2], at[3], 1}}));
    }
  }
}

TEST(PackPlan, ExcludedRecordsGoWithTheirSpansAndUnnamedFilesAreAddedInOrder) {
  const test_archive archive = gapped();
  const std::vector<std::uint64_t> at = archive.stream_offsets();
  const read_archive original = read_with_the_reader(archive);
  // As the scan gives them: sorted, the excluded left out already; table.bin is never added.
  const std::vector<source_file> files = files_named({"a.txt", "d.txt", "new/x.txt", "table.bin", "z.txt"});
  pack_plan plan;
  ASSERT_FALSE(plan_pack(original.index, &original.layout, files, {{"b/*"}}, "dir", plan));
  EXPECT_EQ(names_of(plan), (std::vector<std::string>{"a.txt", "d.txt", "new/x.txt", "z.txt"}));
  EXPECT_EQ(pieces_of(plan), (std::vector<piece_view>{{piece_kind::copy, {}, 12, at[0], {}},
                                                      {piece_kind::compare, 0, at[0], at[1], 0},
                                                      {piece_kind::drop, {}, at[1], at[2], {}},
                                                      {piece_kind::compare, 1, at[2], at[3], 1},
                                                      {piece_kind::pack, 2, 0, 0, 2},
                                                      {piece_kind::pack, 3, 0, 0, 4}}));
  EXPECT_EQ(plan.original_offsets, (std::vector<std::optional<std::uint32_t>>{at[0], at[2], {}, {}}));
}

TEST(PackPlan, WithoutAnOriginalEveryRecordIsPackedFromItsFile) {
  test_archive archive;
  archive.entries = {entry("b.txt", "b"), entry("dir/", ""), entry("a\\c.txt", "c")};
  pack_plan plan;
  const auto index = *index_image::parse(archive.inflated_index());
  ASSERT_FALSE(plan_pack(index, nullptr, files_named({"a/c.txt", "b.txt", "e.txt"}), {}, "dir", plan));
  EXPECT_EQ(pieces_of(plan), (std::vector<piece_view>{{piece_kind::pack, 0, 0, 0, 1},
                                                      {piece_kind::empty, 1, 0, 0, {}},
                                                      {piece_kind::pack, 2, 0, 0, 0},
                                                      {piece_kind::pack, 3, 0, 0, 2}}));
  EXPECT_EQ(names_of(plan).back(), "e.txt");
}

TEST(PackPlan, WithoutAnOriginalARecordWithoutItsFileOrWithAnUnsafeNameStopsSayingHowToLeaveItOut) {
  const struct {
    std::string name;
    const char* path;
    const char* reason;
  } cases[] = {
      {"gone.txt", "dir/gone.txt",
       "no such file, though record 1 of table.bin names it: -x 'gone.txt' leaves the record out, --sync every"},
      {"it's [1].txt", "dir/it's [1].txt", "-x 'it'\\''s [[]1].txt' leaves"},
      {"../x", "dir/table.bin", "record 1 (../x): a \"..\" component leaves the output directory"},
  };
  for (const auto& c : cases) {
    test_archive archive;
    archive.entries = {entry(c.name, "x")};
    pack_plan plan;
    const maybe_problem failure =
        plan_pack(*index_image::parse(archive.inflated_index()), nullptr, files_named({"x"}), {}, "dir", plan);
    ASSERT_TRUE(failure) << c.name;
    EXPECT_EQ(failure->kind, problem_kind::source);
    EXPECT_EQ(failure->path, c.path);
    EXPECT_NE(failure->reason.find(c.reason), std::string::npos) << failure->reason;
  }
}

}  // namespace
}  // namespace darvex
