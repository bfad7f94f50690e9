#pragma once

// Extraction: each entry of a plan read by its span, inflated in memory and handed to
// a sink (the output directory, or nothing when testing), by one thread or by several, with
// what became of each entry told to a listener in index order.

#include <cstddef>
#include <memory>
#include <optional>

#include "format/archive.hpp"
#include "platform/process.hpp"
#include "select/entry_plan.hpp"

namespace darvex {

struct entry_outcome {
  std::optional<problem> failure;  // refused, damaged or not written
  bool kept_existing = false;      // the sink left alone a file that has the entry's name
  // It failed for want of memory, descriptors or space, which other entries in flight may
  // hold: worth one more try once every earlier entry is done and no other is in flight.
  bool starved = false;
};

// What one worker hands its entries to. Every worker has its own, so that what a writer keeps
// from one entry to the next (folders held open) is nobody else's.
class entry_writer {
 public:
  virtual ~entry_writer() = default;

  // Before anything is read for `entry`: an outcome that makes reading it needless (a file the
  // run must keep, a name that must not be written), or nothing to go on. `earlier_kept` says,
  // for an entry with an earlier one of the same file, whether that one kept what was there.
  virtual std::optional<entry_outcome> before_reading(const planned_entry& entry, bool earlier_kept) = 0;
  // Takes an entry's inflated bytes. Of entries whose paths touch (one path, or one inside the
  // other), each is handed over only once every earlier one is done.
  virtual entry_outcome take(const planned_entry& entry, const unsigned char* data, std::size_t length) = 0;
};

// Where inflated entries go.
class entry_sink {
 public:
  // A writer for one worker, made on that worker's thread.
  virtual std::unique_ptr<entry_writer> writer() = 0;
  // Whether before_reading looks at what earlier entries left, and so must wait for its turn.
  virtual bool decides_in_turn() const = 0;
  // Whether entries must be handed over in index order, each once every earlier one has been
  // told to the listener (standard output's bytes follow each other and the messages before).
  virtual bool in_index_order() const { return false; }

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

// Extracts every entry of `plan`: one read of its span, one inflate into a buffer of its
// recorded size, then the sink. With `jobs` 1 it all runs in the calling thread; otherwise that
// many workers take entries in index order, each with buffers, an inflater and a writer of its
// own, and entries whose paths touch reach the sink in index order. An entry that fails for
// want of memory, descriptors or space is tried once more when every earlier entry is done and
// no other is in flight, so that it fails only if it fails alone. Whatever the jobs, the sink
// receives the same bytes and the listener hears the same outcomes in the same order. Once
// `stopped` says so, no entry is taken: those in flight are finished and told, the rest are
// neither read nor told.
void extract_entries(const archive_file& archive, const entry_plan& plan, entry_sink& sink, entry_listener& listener,
                     unsigned jobs, platform::stop_check stopped = platform::never_stop);

// The workers a run uses when not told: one per hardware thread, at most 16.
unsigned default_jobs();

// Tells the listener of every entry of `plan` without reading any: a refused entry's outcome is
// its refusal, every other entry's is empty. What a listing runs.
void tell_entries(const entry_plan& plan, entry_listener& listener);

}  // namespace darvex
