#include <gtest/gtest.h>

#include "archive_writer.hpp"
#include "create/original_archive.hpp"
#include "create/pack_plan.hpp"
#include "scratch.hpp"

namespace darvex {
namespace {

using test_support::entry;
using test_support::test_archive;

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

TEST(PackPlan, EntriesWhoseFilesCannotBeTheirsKeepTheirBytesWithoutLooking) {
  test_archive archive;
  archive.entries = {entry("same.txt", "first"),   entry("../up.txt", "refused"), entry("same.txt", "second"),
                     entry("missing.txt", "gone"), entry("folder/", ""),          entry("kept.txt", "k")};
  const std::vector<std::uint64_t> at = archive.stream_offsets();
  const read_archive original = read_with_the_reader(archive);
  pack_plan plan;
  ASSERT_FALSE(plan_pack(original.index, &original.layout, files_named({"kept.txt", "same.txt"}), {}, "dir", plan));
  EXPECT_EQ(pieces_of(plan), (std::vector<piece_view>{{piece_kind::copy, 0, at[0], at[1], {}},   // written over later
                                                      {piece_kind::copy, {}, at[1], at[2], {}},  // refused: in between
                                                      {piece_kind::compare, 2, at[2], at[3], 1},
                                                      {piece_kind::copy, 3, at[3], at[4], {}},  // no file
                                                      {piece_kind::copy, 4, at[4], at[5], {}},  // a folder
                                                      {piece_kind::compare, 5, at[5], at[6], 0}}));
  EXPECT_EQ(plan.unstreamed, (std::vector<std::size_t>{1}));
}

TEST(PackPlan, ExcludedRecordsGoWithTheirSpansAndUnnamedFilesAreAddedInOrder) {
  const test_archive archive = gapped();
  const std::vector<std::uint64_t> at = archive.stream_offsets();
  const read_archive original = read_with_the_reader(archive);
  // As the scan gives them: sorted, the excluded left out already; table.bin is never added.
  const std::vector<source_file> files = files_named({"a.txt", "d.txt", "new/x.txt", "table.bin", "z.txt"});
  pack_plan plan;
  ASSERT_FALSE(plan_pack(original.index, &original.layout, files, {"b/*"}, "dir", plan));
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

TEST(PackPlan, WithoutAnOriginalARecordWithoutItsFileOrWithAnUnsafeNameStops) {
  const struct {
    std::string name;
    const char* path;
    const char* reason;
  } cases[] = {
      {"gone.txt", "dir/gone.txt", "cannot open"},
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
