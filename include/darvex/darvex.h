/* libdarvex: reads, extracts and makes DarvEx archives (a header pointing at a zlib-compressed
 * index at the end of the file, and zlib-compressed entries whose names, offsets and sizes that
 * index gives), with the same code as the DarvEx tool.
 *
 * C99. Every function returns at once with a status, never prints and never exits. When a call
 * fails, darvex_last_error() gives the calling thread's reason in words until its next call. An
 * open archive may be used from several threads at once (darvex_read reads by position, each
 * call with an inflater of its own); only darvex_close must not run beside other calls on it.
 * Paths are the system's bytes (UTF-8 on Windows). A program that links the static library on
 * Windows defines DARVEX_STATIC. */

#ifndef DARVEX_DARVEX_H
#define DARVEX_DARVEX_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(DARVEX_BUILDING_LIBRARY)
#define DARVEX_API __declspec(dllexport)
#elif defined(DARVEX_STATIC)
#define DARVEX_API
#else
#define DARVEX_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define DARVEX_API __attribute__((visibility("default")))
#else
#define DARVEX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct darvex_archive darvex_archive;

typedef enum darvex_status {
  DARVEX_OK = 0,
  DARVEX_ERROR_IO,        /* a file or folder could not be opened, read or written */
  DARVEX_ERROR_FORMAT,    /* the file is no archive of this kind, or its index is damaged */
  DARVEX_ERROR_DAMAGED,   /* an entry's data does not inflate cleanly (what inflated is kept) */
  DARVEX_ERROR_REFUSED,   /* an entry is not safe to extract: its name, span or size */
  DARVEX_ERROR_NOT_FOUND, /* no entry has that name, or no entry matches an include pattern */
  DARVEX_ERROR_MEMORY,    /* not enough memory */
  DARVEX_ERROR_ARGUMENT,  /* a wrong argument: NULL, an index out of range, a buffer too small */
  DARVEX_ERROR_STOPPED    /* the progress callback asked the run to stop */
} darvex_status;

/* One entry of the index. The pointers stay valid until the archive is closed. */
typedef struct darvex_entry {
  const char *name;    /* the stored name bytes (up to the first zero byte), NUL-terminated */
  size_t name_length;  /* strlen(name) */
  uint32_t size;       /* the inflated size the index records */
  uint32_t offset;     /* where its zlib stream starts in the archive */
  uint32_t span;       /* the bytes its stream takes: up to the next entry's offset or the index */
  const char *refusal; /* NULL, or why it cannot be extracted (nor read) */
} darvex_entry;

/* Told after each entry extracted or each record written, in index order, from the thread that
 * called darvex_extract or darvex_create. `name` is the entry's stored name. Return 0 to go on,
 * anything else to stop: entries in flight are finished, no other is started, and the call
 * returns DARVEX_ERROR_STOPPED (darvex_create then leaves new_path as it was). */
typedef int (*darvex_progress_callback)(void *context, uint32_t done, uint32_t total, const char *name);

typedef struct darvex_extract_options {
  unsigned jobs;                     /* threads, 1 to 64; 0: one per hardware thread, at most 16 */
  const char *const *include;        /* NULL, or a NULL-terminated list of globs: only entries matching one */
  const char *const *exclude;        /* NULL, or a NULL-terminated list of globs: no entry matching one */
  int no_overwrite;                  /* nonzero: every file that existed before the call is kept */
  int no_table;                      /* nonzero: no table.bin (the inflated index) is left */
  unsigned strip_components;         /* the first N parts of every name are dropped */
  const char *codepage;              /* NULL: names as the system reads them (see doc/library.md) */
  darvex_progress_callback progress; /* NULL: none */
  void *progress_context;            /* handed to `progress` */
} darvex_extract_options;

typedef struct darvex_create_options {
  unsigned jobs;              /* as for extraction */
  const char *const *exclude; /* NULL, or a NULL-terminated list of globs: files and records left out */
  int level;                  /* compression level of new streams, 1 to 12 (1 to 9 with zlib alone); default 6 */
  int sync;                   /* nonzero: records whose file is missing leave the archive */
  const char *codepage;       /* NULL: names as the system reads them */
  darvex_progress_callback progress;
  void *progress_context;
} darvex_create_options;

/* The defaults, which a NULL options pointer stands for as well. */
DARVEX_API void darvex_extract_options_init(darvex_extract_options *options);
DARVEX_API void darvex_create_options_init(darvex_create_options *options);

/* Opens the archive at `path` and reads its index. On failure *archive is NULL. */
DARVEX_API darvex_status darvex_open(const char *path, darvex_archive **archive);
/* Closes it; NULL is allowed. */
DARVEX_API void darvex_close(darvex_archive *archive);

/* How many entries the index lists (0 for NULL). */
DARVEX_API uint32_t darvex_entry_count(const darvex_archive *archive);
/* Entry `index`, counted from 0. */
DARVEX_API darvex_status darvex_entry_at(const darvex_archive *archive, uint32_t index, darvex_entry *entry);
/* The index of the last entry whose stored name is `name` (the one extraction leaves under that
 * name), '/' and '\' taken as one; DARVEX_ERROR_NOT_FOUND when none is. */
DARVEX_API darvex_status darvex_find(const darvex_archive *archive, const char *name, uint32_t *index);

/* Inflates entry `index` into `buffer`. A `capacity` under the entry's size reads nothing:
 * DARVEX_ERROR_ARGUMENT, with the size needed in *produced. A damaged entry gives the bytes that
 * inflated, their count in *produced, and DARVEX_ERROR_DAMAGED. Safe from several threads. */
DARVEX_API darvex_status darvex_read(darvex_archive *archive, uint32_t index, void *buffer, size_t capacity,
                                     size_t *produced);

/* Extracts the selected entries into `directory` (made with its parents when missing), with
 * table.bin beside them, as the tool does. Entries that fail do not stop the others: the call
 * returns the status of the first that failed (DARVEX_ERROR_DAMAGED, _REFUSED or _IO). */
DARVEX_API darvex_status darvex_extract(darvex_archive *archive, const char *directory,
                                        const darvex_extract_options *options);

/* Makes the archive `new_path` from the folder `directory`: the records of `like` (an archive
 * whose bytes are kept wherever no changed file replaces them) or, when `like` is NULL, of the
 * folder's table.bin, each from the file at its name, then every other file as a new record.
 * new_path is replaced only once the new archive reads back as written. A record kept with
 * damaged stored bytes makes the archive all the same and returns DARVEX_ERROR_DAMAGED. */
DARVEX_API darvex_status darvex_create(const char *new_path, const char *directory, const char *like,
                                       const darvex_create_options *options);

/* The calling thread's last failure, in words; "" when its last call succeeded. */
DARVEX_API const char *darvex_last_error(void);
/* The library's version, "0.9". */
DARVEX_API const char *darvex_version(void);

#ifdef __cplusplus
}
#endif

#endif /* DARVEX_DARVEX_H */
