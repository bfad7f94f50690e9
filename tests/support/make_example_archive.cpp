// Writes the small example archive that the README's first command extracts.

#include <cstdio>

#include "archive_writer.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_example_archive <archive path>\n", stderr);
    return 2;
  }
  using namespace darvex::test_support;
  test_archive archive;
  archive.entries = {
      entry("readme.txt", "An example archive, written by DarvEx's test-archive writer.\n"),
      entry("level1.xml", text_like(40000, 1)),
      entry("mesh.bin", binary_like(120000, 2)),
      entry("music.ogg", incompressible(30000, 3)),
      entry("empty.cfg", ""),
  };
  archive.write_to(argv[1]);
  return 0;
}
