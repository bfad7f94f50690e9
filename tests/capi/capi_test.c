/* The C API, from C: archives written here with zlib (one entry damaged in its checksum, so
 * that it inflates whole and still fails), then opened, listed, searched, read (whole, damaged,
 * into a buffer too small, from several threads at once), extracted (the damaged entry
 * reported, the rest written), changed and made again with `like`, and read back. Each group of
 * cases is a table. Prints one line per failed check and exits 1 if any failed. */

#define _XOPEN_SOURCE 700

#include <darvex/darvex.h>
#include <ftw.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

static int failures = 0;

#define CHECK(condition, ...)                                                \
  do {                                                                       \
    if (!(condition)) {                                                      \
      ++failures;                                                            \
      fprintf(stderr, "%s:%d: %s failed: ", __FILE__, __LINE__, #condition); \
      fprintf(stderr, __VA_ARGS__);                                          \
      fprintf(stderr, " (last error: %s)\n", darvex_last_error());           \
    }                                                                        \
  } while (0)

/* The entries of the test archive. */
typedef struct test_entry {
  const char *name;
  const char *content; /* repeated `repeat` times */
  int repeat;
  int damaged; /* its stream's checksum is flipped */
} test_entry;

static const test_entry ENTRIES[] = {
    {"readme.txt", "Read me first.\n", 1, 0},          {"data\\level1.xml", "<level id=\"1\"/>\n", 2000, 0},
    {"data\\broken.bin", "broken but whole ", 500, 1}, {"empty.cfg", "", 0, 0},
    {"music\\theme.ogg", "OggS tune ", 3000, 0},
};
enum { ENTRY_COUNT = sizeof ENTRIES / sizeof ENTRIES[0], DAMAGED_ENTRY = 2 };

static char scratch[256];

static void put_be32(unsigned char *out, uint32_t value) {
  out[0] = (unsigned char)(value >> 24);
  out[1] = (unsigned char)(value >> 16);
  out[2] = (unsigned char)(value >> 8);
  out[3] = (unsigned char)value;
}

/* The content of entry i, malloc'ed; its length in *length. */
static unsigned char *content_of(size_t i, size_t *length) {
  const size_t part = strlen(ENTRIES[i].content);
  unsigned char *bytes = malloc(part * (size_t)ENTRIES[i].repeat + 1);
  for (int r = 0; r < ENTRIES[i].repeat; ++r) memcpy(bytes + part * (size_t)r, ENTRIES[i].content, part);
  *length = part * (size_t)ENTRIES[i].repeat;
  return bytes;
}

/* Appends `length` bytes compressed with zlib to `out`, the checksum's last byte flipped when
 * `damaged`; returns the stream's length. */
static size_t append_stream(FILE *out, const unsigned char *bytes, size_t length, int damaged) {
  uLongf room = compressBound(length);
  unsigned char *stream = malloc(room);
  compress2(stream, &room, bytes, length, 6);
  if (damaged) stream[room - 1] ^= 0x5A;
  fwrite(stream, 1, room, out);
  free(stream);
  return room;
}

/* Writes the test archive at `path`: the 12-byte header, the entries' streams, the index; with
 * `clean`, without the damaged entry. */
static void write_archive(const char *path, int clean) {
  FILE *out = fopen(path, "wb");
  unsigned char header[12] = {0};
  unsigned char index[4096] = {0};
  size_t index_length = 26, offset = sizeof header;
  fwrite(header, 1, sizeof header, out);
  put_be32(index + 6, clean ? ENTRY_COUNT - 1 : ENTRY_COUNT);
  for (size_t i = 0; i < ENTRY_COUNT; ++i) {
    if (clean && ENTRIES[i].damaged) continue;
    size_t length = 0;
    unsigned char *bytes = content_of(i, &length);
    const size_t name_length = strlen(ENTRIES[i].name);
    const size_t stream_length = append_stream(out, bytes, length, ENTRIES[i].damaged);
    index[index_length] = (unsigned char)name_length;
    memcpy(index + index_length + 1, ENTRIES[i].name, name_length);
    put_be32(index + index_length + 1 + name_length, (uint32_t)offset);
    put_be32(index + index_length + 5 + name_length, (uint32_t)length);
    index_length += 26 + name_length;
    offset += stream_length;
    free(bytes);
  }
  append_stream(out, index, index_length, 0);
  put_be32(header + 8, (uint32_t)offset);
  fseek(out, 0, SEEK_SET);
  fwrite(header, 1, sizeof header, out);
  fclose(out);
}

static void path_in_scratch(char *out, size_t room, const char *name) { snprintf(out, room, "%s/%s", scratch, name); }

/* The bytes of the file at `path`, malloc'ed, or NULL. */
static unsigned char *file_bytes(const char *path, size_t *length) {
  FILE *in = fopen(path, "rb");
  if (in == NULL) return NULL;
  fseek(in, 0, SEEK_END);
  *length = (size_t)ftell(in);
  fseek(in, 0, SEEK_SET);
  unsigned char *bytes = malloc(*length + 1);
  *length = fread(bytes, 1, *length, in);
  fclose(in);
  return bytes;
}

static int file_holds(const char *path, const unsigned char *bytes, size_t length) {
  size_t got = 0;
  unsigned char *found = file_bytes(path, &got);
  const int same = found != NULL && got == length && memcmp(found, bytes, length) == 0;
  free(found);
  return same;
}

static void test_open(const char *archive_path) {
  static const struct {
    const char *name;
    const char *file_text; /* written first; NULL: no file */
    darvex_status status;
  } cases[] = {
      {"missing.dat", NULL, DARVEX_ERROR_IO},
      {"text.dat", "just some words, no archive at all\n", DARVEX_ERROR_FORMAT},
      {"short.dat", "abc", DARVEX_ERROR_FORMAT},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char path[512];
    path_in_scratch(path, sizeof path, cases[i].name);
    if (cases[i].file_text != NULL) {
      FILE *out = fopen(path, "wb");
      fputs(cases[i].file_text, out);
      fclose(out);
    }
    darvex_archive *archive = (darvex_archive *)&archive; /* anything but NULL */
    const darvex_status status = darvex_open(path, &archive);
    CHECK(status == cases[i].status, "darvex_open(%s) gave %d", cases[i].name, (int)status);
    CHECK(archive == NULL, "darvex_open(%s) left *archive set", cases[i].name);
    CHECK(strlen(darvex_last_error()) > 0, "darvex_open(%s) left no last error", cases[i].name);
  }
  darvex_archive *archive = NULL;
  CHECK(darvex_open(archive_path, &archive) == DARVEX_OK, "darvex_open of the test archive");
  CHECK(strcmp(darvex_last_error(), "") == 0, "a call that succeeds clears the last error");
  darvex_close(archive);
  CHECK(darvex_open(NULL, &archive) == DARVEX_ERROR_ARGUMENT, "darvex_open(NULL)");
  darvex_close(NULL);
}

static void test_entries(darvex_archive *archive) {
  CHECK(darvex_entry_count(archive) == ENTRY_COUNT, "count %u", darvex_entry_count(archive));
  for (uint32_t i = 0; i < ENTRY_COUNT; ++i) {
    darvex_entry entry;
    size_t length = 0;
    free(content_of(i, &length));
    CHECK(darvex_entry_at(archive, i, &entry) == DARVEX_OK, "entry_at %u", i);
    CHECK(strcmp(entry.name, ENTRIES[i].name) == 0 && entry.name_length == strlen(ENTRIES[i].name), "name %u: %s", i,
          entry.name);
    CHECK(entry.size == length, "size of %u: %u", i, entry.size);
    CHECK(entry.refusal == NULL, "refusal of %u: %s", i, entry.refusal);
    CHECK(entry.span > 0 && entry.offset >= 12, "span %u, offset %u", entry.span, entry.offset);
  }
  darvex_entry entry;
  CHECK(darvex_entry_at(archive, ENTRY_COUNT, &entry) == DARVEX_ERROR_ARGUMENT, "entry_at past the end");
}

static void test_find(darvex_archive *archive) {
  static const struct {
    const char *name;
    darvex_status status;
    uint32_t index;
  } cases[] = {
      {"readme.txt", DARVEX_OK, 0},
      {"data\\level1.xml", DARVEX_OK, 1},
      {"data/level1.xml", DARVEX_OK, 1}, /* '/' and '\' alike */
      {"music\\theme.ogg", DARVEX_OK, 4},
      {"missing.txt", DARVEX_ERROR_NOT_FOUND, 0},
      {"readme.tx", DARVEX_ERROR_NOT_FOUND, 0},
      {"readme.txt2", DARVEX_ERROR_NOT_FOUND, 0},
      {"", DARVEX_ERROR_NOT_FOUND, 0},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    uint32_t index = 99;
    const darvex_status status = darvex_find(archive, cases[i].name, &index);
    CHECK(status == cases[i].status, "find(%s) gave %d", cases[i].name, (int)status);
    if (cases[i].status == DARVEX_OK) CHECK(index == cases[i].index, "find(%s) gave index %u", cases[i].name, index);
  }
  uint32_t index = 0;
  CHECK(darvex_find(archive, NULL, &index) == DARVEX_ERROR_ARGUMENT, "find(NULL)");
}

static void test_read(darvex_archive *archive) {
  for (uint32_t i = 0; i < ENTRY_COUNT; ++i) {
    size_t length = 0, produced = 0;
    unsigned char *expected = content_of(i, &length);
    unsigned char *buffer = malloc(length + 1);
    const darvex_status status = darvex_read(archive, i, buffer, length, &produced);
    const darvex_status wanted = ENTRIES[i].damaged ? DARVEX_ERROR_DAMAGED : DARVEX_OK;
    CHECK(status == wanted, "read %u gave %d", i, (int)status);
    /* A damaged checksum comes after every byte: all of them inflated. */
    CHECK(produced == length && memcmp(buffer, expected, length) == 0, "read %u: %zu bytes", i, produced);
    if (length > 0) {
      produced = 0;
      CHECK(darvex_read(archive, i, buffer, length - 1, &produced) == DARVEX_ERROR_ARGUMENT, "small buffer %u", i);
      CHECK(produced == length, "small buffer %u: needs %zu, told %zu", i, length, produced);
      CHECK(strstr(darvex_last_error(), "too small") != NULL, "small buffer %u: says so", i);
    }
    free(buffer);
    free(expected);
  }
  size_t produced = 0;
  char byte;
  CHECK(darvex_read(archive, ENTRY_COUNT, &byte, 1, &produced) == DARVEX_ERROR_ARGUMENT, "read past the end");
}

/* Several threads read every entry of one archive, many times. */
typedef struct reader {
  darvex_archive *archive;
  int wrong;
} reader;

static void *read_all(void *argument) {
  reader *self = argument;
  for (int round = 0; round < 20; ++round) {
    for (uint32_t i = 0; i < ENTRY_COUNT; ++i) {
      size_t length = 0, produced = 0;
      unsigned char *expected = content_of(i, &length);
      unsigned char *buffer = malloc(length + 1);
      const darvex_status status = darvex_read(self->archive, i, buffer, length, &produced);
      const darvex_status wanted = ENTRIES[i].damaged ? DARVEX_ERROR_DAMAGED : DARVEX_OK;
      if (status != wanted || produced != length || memcmp(buffer, expected, length) != 0) ++self->wrong;
      if (ENTRIES[i].damaged && strstr(darvex_last_error(), "broken.bin") == NULL) ++self->wrong;
      free(buffer);
      free(expected);
    }
  }
  return NULL;
}

static void test_threads(darvex_archive *archive) {
  enum { THREADS = 4 };
  pthread_t threads[THREADS];
  reader readers[THREADS];
  for (int t = 0; t < THREADS; ++t) {
    readers[t] = (reader){archive, 0};
    pthread_create(&threads[t], NULL, read_all, &readers[t]);
  }
  for (int t = 0; t < THREADS; ++t) {
    pthread_join(threads[t], NULL);
    CHECK(readers[t].wrong == 0, "thread %d read %d entries wrong", t, readers[t].wrong);
  }
}

static int stop_after_two(void *context, uint32_t done, uint32_t total, const char *name) {
  int *calls = context;
  ++*calls;
  return done >= 2 && total > 0 && name != NULL;
}

static void test_extract(darvex_archive *archive) {
  static const char *const XML_ONLY[] = {"*.xml", NULL};
  static const char *const NOTHING[] = {"nothing*", NULL};
  static const char *const DAMAGED[] = {"*broken*", NULL};
  static const struct {
    const char *folder;
    const char *const *include;
    const char *const *exclude;
    int no_table;
    unsigned jobs;
    darvex_status status;
    int written[ENTRY_COUNT]; /* which entries must be there */
  } cases[] = {
      {"all", NULL, NULL, 0, 1, DARVEX_ERROR_DAMAGED, {1, 1, 0, 1, 1}},
      {"all-jobs", NULL, NULL, 0, 4, DARVEX_ERROR_DAMAGED, {1, 1, 0, 1, 1}},
      {"xml", XML_ONLY, NULL, 1, 0, DARVEX_OK, {0, 1, 0, 0, 0}},
      {"sound", NULL, DAMAGED, 0, 2, DARVEX_OK, {1, 1, 0, 1, 1}},
      {"unmatched", NOTHING, NULL, 0, 0, DARVEX_ERROR_NOT_FOUND, {0, 0, 0, 0, 0}},
  };
  for (size_t c = 0; c < sizeof cases / sizeof cases[0]; ++c) {
    char folder[512], path[1024];
    path_in_scratch(folder, sizeof folder, cases[c].folder);
    darvex_extract_options options;
    darvex_extract_options_init(&options);
    options.include = cases[c].include;
    options.exclude = cases[c].exclude;
    options.no_table = cases[c].no_table;
    options.jobs = cases[c].jobs;
    const darvex_status status = darvex_extract(archive, folder, &options);
    CHECK(status == cases[c].status, "extract %s gave %d", cases[c].folder, (int)status);
    if (status == DARVEX_ERROR_DAMAGED) {
      CHECK(strstr(darvex_last_error(), "broken.bin") != NULL, "extract %s names the damaged entry", cases[c].folder);
    }
    for (size_t i = 0; i < ENTRY_COUNT; ++i) {
      size_t length = 0;
      unsigned char *expected = content_of(i, &length);
      snprintf(path, sizeof path, "%s/%s", folder, ENTRIES[i].name);
      for (char *p = path + strlen(folder); *p != '\0'; ++p) *p = *p == '\\' ? '/' : *p;
      if (cases[c].written[i]) {
        CHECK(file_holds(path, expected, length), "extract %s: %s", cases[c].folder, ENTRIES[i].name);
      } else if (!ENTRIES[i].damaged) {
        CHECK(access(path, F_OK) != 0, "extract %s wrote %s", cases[c].folder, ENTRIES[i].name);
      }
      free(expected);
    }
    snprintf(path, sizeof path, "%s/table.bin", folder);
    CHECK((access(path, F_OK) == 0) == !cases[c].no_table, "extract %s: table.bin", cases[c].folder);
  }

  char folder[512];
  int calls = 0;
  darvex_extract_options options;
  darvex_extract_options_init(&options);
  options.jobs = 1;
  options.progress = stop_after_two;
  options.progress_context = &calls;
  path_in_scratch(folder, sizeof folder, "stopped");
  CHECK(darvex_extract(archive, folder, &options) == DARVEX_ERROR_STOPPED, "a callback that stops");
  CHECK(calls == 2, "the run went on after the stop: %d calls", calls);
  darvex_extract_options_init(&options);
  options.codepage = "no such code page";
  CHECK(darvex_extract(archive, folder, &options) == DARVEX_ERROR_ARGUMENT, "an unknown code page");
  darvex_extract_options_init(&options);
  options.jobs = 65;
  CHECK(darvex_extract(archive, folder, &options) == DARVEX_ERROR_ARGUMENT, "65 jobs");
  CHECK(darvex_extract(archive, NULL, NULL) == DARVEX_ERROR_ARGUMENT, "extract to NULL");
}

/* Changes readme.txt in a clean extraction, makes the archive again like the original, and
 * reads the change back; the other entries are the same bytes. */
static void test_create(const char *clean_path) {
  static const char CHANGED[] = "Read me second: changed.\n";
  char folder[512], readme[1024], made[512];
  darvex_archive *original = NULL, *remade = NULL;
  path_in_scratch(folder, sizeof folder, "clean");
  path_in_scratch(made, sizeof made, "remade.dat");
  CHECK(darvex_open(clean_path, &original) == DARVEX_OK, "open the clean archive");
  CHECK(darvex_extract(original, folder, NULL) == DARVEX_OK, "extract the clean archive");
  darvex_close(original);
  snprintf(readme, sizeof readme, "%s/readme.txt", folder);
  FILE *out = fopen(readme, "wb");
  fputs(CHANGED, out);
  fclose(out);

  CHECK(darvex_create(made, folder, clean_path, NULL) == DARVEX_OK, "create like the original");
  CHECK(darvex_open(made, &remade) == DARVEX_OK, "open the new archive");
  uint32_t index = 0;
  char buffer[64];
  size_t produced = 0;
  CHECK(darvex_find(remade, "readme.txt", &index) == DARVEX_OK, "find the changed entry");
  CHECK(darvex_read(remade, index, buffer, sizeof buffer, &produced) == DARVEX_OK, "read the changed entry");
  CHECK(produced == strlen(CHANGED) && memcmp(buffer, CHANGED, produced) == 0, "the change reads back");
  CHECK(darvex_entry_count(remade) == ENTRY_COUNT - 1, "the new archive has %u entries", darvex_entry_count(remade));
  darvex_close(remade);

  static const struct {
    const char *like;
    int level;
    darvex_status status;
  } cases[] = {
      {"missing.dat", 6, DARVEX_ERROR_IO},
      {NULL, 0, DARVEX_OK}, /* from the folder's table.bin, level 0 meaning the default */
      {NULL, 99, DARVEX_ERROR_ARGUMENT},
  };
  for (size_t c = 0; c < sizeof cases / sizeof cases[0]; ++c) {
    char like[512];
    darvex_create_options options;
    darvex_create_options_init(&options);
    CHECK(options.level == 6, "the default level");
    options.level = cases[c].level;
    if (cases[c].like != NULL) path_in_scratch(like, sizeof like, cases[c].like);
    const darvex_status status = darvex_create(made, folder, cases[c].like ? like : NULL, &options);
    CHECK(status == cases[c].status, "create like %s, level %d gave %d", cases[c].like ? cases[c].like : "NULL",
          cases[c].level, (int)status);
  }
}

static int remove_one(const char *path, const struct stat *info, int flag, struct FTW *walk) {
  (void)info, (void)flag, (void)walk;
  return remove(path);
}

/* A folder holding "café.txt" (its name UTF-8 on disk) packed with code page 1252 stores the
 * name as 1252's bytes, and extraction with the same code page names the file as before. */
static void test_code_page(void) {
  static const char CONTENT[] = "menu\n";
  char folder[512], made[512], again[512], path[1024];
  path_in_scratch(folder, sizeof folder, "named");
  path_in_scratch(made, sizeof made, "named.dat");
  path_in_scratch(again, sizeof again, "named_again");
  mkdir(folder, 0777);
  snprintf(path, sizeof path, "%s/caf\xc3\xa9.txt", folder);
  FILE *file = fopen(path, "wb");
  fputs(CONTENT, file);
  fclose(file);
  darvex_create_options packing;
  darvex_create_options_init(&packing);
  packing.codepage = "1252";
  CHECK(darvex_create(made, folder, NULL, &packing) == DARVEX_OK, "create with code page 1252");
  darvex_archive *archive = NULL;
  CHECK(darvex_open(made, &archive) == DARVEX_OK, "open the archive made with code page 1252");
  if (archive == NULL) return;
  uint32_t index = 0;
  CHECK(darvex_find(archive, "caf\xe9.txt", &index) == DARVEX_OK, "the name stored in 1252");
  darvex_extract_options options;
  darvex_extract_options_init(&options);
  options.codepage = "1252";
  CHECK(darvex_extract(archive, again, &options) == DARVEX_OK, "extract with code page 1252");
  snprintf(path, sizeof path, "%s/caf\xc3\xa9.txt", again);
  CHECK(file_holds(path, (const unsigned char *)CONTENT, strlen(CONTENT)), "the file named by the name's text");
  darvex_close(archive);
}

int main(void) {
  snprintf(scratch, sizeof scratch, "%s/darvex_capi_XXXXXX", getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp");
  if (mkdtemp(scratch) == NULL) return 2;
  CHECK(strcmp(darvex_version(), DARVEX_VERSION) == 0, "version %s", darvex_version());

  char archive_path[512], clean_path[512];
  path_in_scratch(archive_path, sizeof archive_path, "test.dat");
  write_archive(archive_path, 0);
  test_open(archive_path);
  darvex_archive *archive = NULL;
  CHECK(darvex_open(archive_path, &archive) == DARVEX_OK, "open");
  if (archive != NULL) {
    test_entries(archive);
    test_find(archive);
    test_read(archive);
    test_threads(archive);
    test_extract(archive);
    darvex_close(archive);
  }
  path_in_scratch(clean_path, sizeof clean_path, "clean.dat");
  write_archive(clean_path, 1);
  test_create(clean_path);
  test_code_page();
  nftw(scratch, remove_one, 16, FTW_DEPTH | FTW_PHYS);
  if (failures > 0) fprintf(stderr, "%d checks failed\n", failures);
  return failures > 0 ? 1 : 0;
}
