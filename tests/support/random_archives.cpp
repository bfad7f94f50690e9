#include "random_archives.hpp"

#include <algorithm>

namespace darvex::test_support {

// Names drawn from a small pool, so that some repeat, some differ only in case, some are
// refused, some need a folder that exists or that another entry makes, and some stand where
// another needs a folder or make a folder where another writes a file.
const std::vector<std::string> NAME_POOL = {"a.txt", "A.TXT", "b.bin", "sub/c.xml", "sub\\c.xml", "table.bin",
                                            "../up", "d.ogg", "e",     "missing/f", "g.dat",      "h.cfg",
                                            "e/x",   "sub",   "dir/",  "dir",       "b.bin/y",    "missing"};

std::string random_contents(std::mt19937& random) {
  const std::size_t length = random() % 4 == 0 ? random() % 300000 : random() % 3000;
  switch (random() % 3) {
    case 0:
      return text_like(length, random());
    case 1:
      return binary_like(length, random());
    default:
      return incompressible(length, random());
  }
}

namespace {

// A random entry, now and then damaged: a flipped byte, a cut stream, a size that is wrong.
test_entry random_entry(std::mt19937& random) {
  test_entry made = entry(NAME_POOL[random() % NAME_POOL.size()], random_contents(random));
  switch (random() % 8) {
    case 0:
      if (!made.stream.empty()) made.stream[random() % made.stream.size()] ^= 0x5A;
      break;
    case 1:
      made.stream.resize(made.stream.size() / 2);
      break;
    case 2:
      made.size = made.size / 2;
      break;
    case 3:
      made.size += 1000;
      break;
    default:
      break;
  }
  return made;
}

}  // namespace

test_archive random_archive(std::mt19937& random) {
  test_archive archive;
  const std::size_t count = 1 + random() % 40;
  for (std::size_t i = 0; i < count; ++i) archive.entries.push_back(random_entry(random));
  if (random() % 6 == 0) archive.entries[random() % count].offset = 12;           // a span read twice
  if (random() % 6 == 0) archive.entries[random() % count].offset = 0x7FFFFFF0u;  // past the index
  return archive;
}

const std::vector<std::vector<std::string>> TOUCHING_NAME_FAMILIES = {
    {"a", "A", "a.", "a\\", "a\\b", "a/b", "A\\B", "a\\b\\", "a\\b\\c", "a/c", "a\\c\\x", "a\\c\\x\\y"},
    {"d", "d\\", "d\\f", "d\\f\\", "d\\f\\z", "D\\F\\z", "d\\g", "d/g/x"}};

const std::vector<std::string> SEPARATE_NAME_POOL = {"p",     "q\\r",     "q/s",    "t\\u\\v", "w\\",
                                                     "x.txt", "y\\z.bin", "m\\n\\", "k/l/o"};

std::string entry_bytes(std::size_t position, const std::string& name, std::size_t length) {
  return repeated("entry " + std::to_string(position) + " (" + name + ")\n", length);
}

namespace {

bool names_a_folder(const std::string& name) { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }

// A name of `names` at random; for a large entry, one of a file inside a folder (the pool must
// hold one), which more names touch. Taken out of `names` unless `keep`.
std::string draw_name(std::vector<std::string>& names, std::mt19937& random, bool large, bool keep) {
  std::vector<std::size_t> candidates;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const bool deep_file = !names_a_folder(names[i]) && names[i].find_first_of("/\\") != std::string::npos;
    if (!large || deep_file) candidates.push_back(i);
  }
  const std::size_t at = candidates.at(random() % candidates.size());
  std::string name = names[at];
  if (!keep) names.erase(names.begin() + static_cast<std::ptrdiff_t>(at));
  return name;
}

constexpr std::size_t LARGE_ENTRY_BYTES = 8000000;  // to 12,000,000: under the 13,107,200 an entry may hold

// 6 to 10 entries named from `pool` (a name drawn again, or without `repeats` once at most),
// the first one or two large, the rest small; now and then an entry's stream is cut short.
test_archive archive_with_large_first_entries(std::mt19937& random, std::vector<std::string> names, bool repeats) {
  std::size_t count = 6 + random() % 5;
  if (!repeats) count = std::min(count, names.size());
  const std::size_t large = 1 + random() % 2;
  test_archive archive;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string name = draw_name(names, random, i < large, repeats);
    const std::size_t length = names_a_folder(name) ? 0
                               : i < large          ? LARGE_ENTRY_BYTES + random() % 4000001
                                                    : random() % 3000;
    const std::string bytes = entry_bytes(i + 1, name, length);
    archive.entries.push_back({name, zlib_compress(bytes, 1), static_cast<std::uint32_t>(length), {}});
    if (length > 0 && random() % 10 == 0) {
      archive.entries.back().stream.resize(archive.entries.back().stream.size() / 2);
    }
  }
  return archive;
}

}  // namespace

test_archive touching_names_archive(std::mt19937& random) {
  // Mostly one family alone, where names touch the most; now and then both.
  const std::size_t family = random() % (TOUCHING_NAME_FAMILIES.size() + 1);
  std::vector<std::string> pool;
  for (std::size_t i = 0; i < TOUCHING_NAME_FAMILIES.size(); ++i) {
    if (family == i || family == TOUCHING_NAME_FAMILIES.size()) {
      pool.insert(pool.end(), TOUCHING_NAME_FAMILIES[i].begin(), TOUCHING_NAME_FAMILIES[i].end());
    }
  }
  return archive_with_large_first_entries(random, pool, true);
}

test_archive separate_names_archive(std::mt19937& random) {
  return archive_with_large_first_entries(random, SEPARATE_NAME_POOL, false);
}

}  // namespace darvex::test_support
