#include "seed_archives.hpp"

namespace darvex::test_support {
namespace {

constexpr std::uint32_t MAX_ENTRIES = 3500;
constexpr std::uint32_t ENTRY_BUFFER_SIZE = 13107200;

test_archive valid_archive() {
  test_archive archive;
  archive.entries = {entry("readme.txt", "a small text entry\n"), entry("level.xml", text_like(900, 1)),
                     entry("mesh.bin", binary_like(1200, 2)), entry("noise.ogg", incompressible(300, 3)),
                     entry("empty.cfg", "")};
  return archive;
}

test_archive with_names(const std::vector<std::string>& names) {
  test_archive archive;
  for (const std::string& name : names) archive.entries.push_back(entry(name, "x" + name));
  return archive;
}

}  // namespace

std::vector<std::pair<std::string, test_archive>> seed_archives() {
  std::vector<std::pair<std::string, test_archive>> out;
  out.emplace_back("valid", valid_archive());
  out.emplace_back("hostile_names",
                   with_names({"../up.txt", "..\\up.txt", "/abs.txt", "\\abs.txt", "C:drive.txt", "a/../../x", "..",
                               ".", "", "sub/dir.txt", "table.bin", std::string(255, 'n')}));
  out.emplace_back("windows_names", with_names({"CON", "nul.txt", "COM1", "lpt9.log", ". .", "a:b"}));

  test_archive swapped = valid_archive();
  swapped.entries[1].offset = static_cast<std::uint32_t>(swapped.stream_offsets()[2]);
  swapped.entries[2].offset = static_cast<std::uint32_t>(swapped.stream_offsets()[1]);
  out.emplace_back("offsets_out_of_order", swapped);

  test_archive past_index = valid_archive();
  past_index.entries[0].offset = 0xFFFFFFF0;
  out.emplace_back("offset_past_index", past_index);

  for (std::uint32_t count : {MAX_ENTRIES, MAX_ENTRIES + 1, 0xFFFFFFFFu, 0u}) {
    test_archive counted = valid_archive();
    counted.entry_count = count;
    out.emplace_back("count_" + std::to_string(count), counted);
  }

  test_archive sizes = valid_archive();
  sizes.entries[0].size = ENTRY_BUFFER_SIZE;
  sizes.entries[1].size = ENTRY_BUFFER_SIZE + 1;
  sizes.entries[2].size = 10;  // smaller than the stream inflates to
  sizes.entries[3].size = 0;
  out.emplace_back("sizes_at_limits", sizes);

  test_archive damaged = valid_archive();
  damaged.entries[1].stream[damaged.entries[1].stream.size() / 2] ^= 0x55;
  damaged.entries[2].stream.resize(damaged.entries[2].stream.size() / 2);
  damaged.entries[3].stream = "not a zlib stream";
  out.emplace_back("damaged_streams", damaged);

  test_archive index_offsets = valid_archive();
  index_offsets.index_offset = 0xFFFFFFFF;
  out.emplace_back("index_offset_past_end", index_offsets);
  index_offsets.index_offset = 0;
  out.emplace_back("index_offset_zero", index_offsets);

  test_archive raw_index = valid_archive();
  raw_index.index_stream = raw_index.inflated_index();
  out.emplace_back("index_not_compressed", raw_index);

  test_archive tail = valid_archive();
  tail.index_tail = std::string(64, '\xFF');
  tail.after_index = "trailing bytes";
  tail.gap = "a gap before the first entry";
  out.emplace_back("index_tail_and_gaps", tail);
  return out;
}

}  // namespace darvex::test_support
