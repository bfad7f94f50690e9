#include "random_archives.hpp"

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

}  // namespace darvex::test_support
