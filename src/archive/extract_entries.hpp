#pragma once

// Extraction: each entry of a plan read by its span, inflated in memory and handed to
// a sink (the output directory, or nothing when testing), by one thread or by several, with
// what became of each entry told to a listener in index order.

#include <cstddef>
#include <optional>

#include "archive/archive.hpp"
#include "archive/entry_plan.hpp"

namespace darvex {

struct entry_outcome {
  std::optional<problem> failure;  // refused, damaged or not written
  bool kept_existing = false;      // the sink left alone a file that has the entry's name
};

// Where inflated entries go.
class entry_sink {
 public:
  // Takes an entry's inflated bytes. Called from any worker thread, once per entry; of the
  // entries that write one file, each is handed over only after the one before it is done.
  virtual entry_outcome take(const planned_entry& entry, const unsigned char* data, std::size_t length) = 0;

 protected:
  ~entry_sink() = default;
};

// Hears what became of each entry.
class entry_listener {
 public:
  // What became of `entry`: told in index order, from the thread that called extract_entries.
  virtual void entry_done(const planned_entry& entry, const entry_outcome& outcome) = 0;
  // Nothing more is ready for now: a moment to flush what was told. Told again every ~20 ms
  // while a wait lasts.
  virtual void idle() = 0;

 protected:
  ~entry_listener() = default;
};

// Extracts every entry of `plan`: one read of its span, one inflate into a buffer of
// its recorded size, then the sink. With `jobs` 1 it all runs in the calling thread; otherwise
// that many workers take entries in index order, each with buffers and an inflater of its own.
// Whatever the jobs, the sink receives the same bytes and the listener hears the same outcomes
// in the same order.
void extract_entries(const archive_file& archive, const entry_plan& plan, entry_sink& sink, entry_listener& listener,
                     unsigned jobs);

// Tells the listener of every entry of `plan` without reading any: a refused entry's outcome is
// its refusal, every other entry's is empty. What a listing runs.
void tell_entries(const entry_plan& plan, entry_listener& listener);

}  // namespace darvex
