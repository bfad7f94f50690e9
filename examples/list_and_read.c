/* Lists an archive and prints one entry's bytes: the smallest program over libdarvex.
 *
 *     list_and_read ARCHIVE [NAME]
 *
 * prints each entry's size and name on standard error, then NAME's inflated bytes (or the first
 * entry's) on standard output. Exit status 0, or 1 with the library's message. */

#include <darvex/darvex.h>
#include <stdio.h>
#include <stdlib.h>

static int failed(const char *what) {
  fprintf(stderr, "list_and_read: %s: %s\n", what, darvex_last_error());
  return 1;
}

int main(int argc, char **argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: list_and_read ARCHIVE [NAME]\n");
    return 2;
  }
  darvex_archive *archive = NULL;
  if (darvex_open(argv[1], &archive) != DARVEX_OK) return failed(argv[1]);
  darvex_entry entry;
  for (uint32_t i = 0; i < darvex_entry_count(archive); ++i) {
    if (darvex_entry_at(archive, i, &entry) != DARVEX_OK) return failed("entry");
    fprintf(stderr, "%11u  %s\n", (unsigned)entry.size, entry.name);
  }
  uint32_t index = 0;
  if (argc == 3 && darvex_find(archive, argv[2], &index) != DARVEX_OK) return failed(argv[2]);
  int status = 0;
  if (darvex_entry_count(archive) > 0 && darvex_entry_at(archive, index, &entry) == DARVEX_OK) {
    void *bytes = malloc(entry.size > 0 ? entry.size : 1);
    size_t produced = 0;
    if (darvex_read(archive, index, bytes, entry.size, &produced) != DARVEX_OK) status = failed(entry.name);
    fwrite(bytes, 1, produced, stdout);
    free(bytes);
  }
  darvex_close(archive);
  return status;
}
