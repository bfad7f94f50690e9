// Writes the fuzzer's seed corpus (tests/support/seed_archives.hpp) to a directory.

#include <cstdio>
#include <string>

#include "seed_archives.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_seeds <corpus directory>\n", stderr);
    return 2;
  }
  for (const auto& [name, archive] : darvex::test_support::seed_archives()) {
    archive.write_to(std::string(argv[1]) + "/" + name + ".dat");
  }
  return 0;
}
