// Opening an archive, its entries, and reading one into memory.

#include <cstring>
#include <memory>

#include "capi/archive_handle.hpp"
#include "capi/failure.hpp"

using darvex::capi::fail;
using darvex::capi::guarded;

namespace {

// "entry 3 (data\a.txt)": how messages name entry `index` (counted from 0).
std::string entry_named(const darvex::planned_entry& entry) {
  return "entry " + std::to_string(entry.position) + " (" + entry.name + ")";
}

darvex_status index_out_of_range(const darvex_archive& archive, std::uint32_t index) {
  return fail(DARVEX_ERROR_ARGUMENT, "entry index " + std::to_string(index) + " is out of range: the archive has " +
                                         std::to_string(archive.entry_count) + " entries");
}

// Inflates `entry` into `buffer`, which holds its recorded size at least.
darvex_status read_entry(const darvex_archive& archive, const darvex::planned_entry& entry, void* buffer,
                         std::size_t* produced) {
  const auto span_length = static_cast<std::size_t>(entry.span_length());
  const std::unique_ptr<unsigned char[]> span(new unsigned char[span_length > 0 ? span_length : 1]);
  if (auto unread = archive.loaded.archive.read(entry.start, span.get(), span_length)) {
    return fail(DARVEX_ERROR_IO, entry_named(entry) + ": " + darvex::capi::words_of(*unread));
  }
  darvex::inflater inflate;
  const darvex::inflate_result inflated =
      inflate.inflate(static_cast<unsigned char*>(buffer), entry.size, span.get(), span_length);
  *produced = inflated.produced;
  if (inflated.outcome == darvex::inflate_outcome::complete) return DARVEX_OK;
  const darvex_status status =
      inflated.outcome == darvex::inflate_outcome::out_of_memory ? DARVEX_ERROR_MEMORY : DARVEX_ERROR_DAMAGED;
  return fail(status, entry_named(entry) + ": " + darvex::describe_inflate_failure(inflated, entry.size));
}

// Whether the stored name `stored` is `wanted`, '/' and '\' taken as one.
bool same_name(const std::string& stored, const char* wanted) {
  const auto slash = [](char c) { return c == '\\' ? '/' : c; };
  std::size_t i = 0;
  for (; i < stored.size() && wanted[i] != '\0'; ++i) {
    if (slash(stored[i]) != slash(wanted[i])) return false;
  }
  return i == stored.size() && wanted[i] == '\0';
}

}  // namespace

extern "C" {

darvex_status darvex_open(const char* path, darvex_archive** archive) {
  if (archive != nullptr) *archive = nullptr;
  return guarded([&] {
    if (path == nullptr || archive == nullptr)
      return fail(DARVEX_ERROR_ARGUMENT, "darvex_open: path or archive is NULL");
    auto opened = std::make_unique<darvex_archive>();
    opened->table.reset(new darvex::entry_table);  // uninitialised: read_entry_table fills what is read
    if (auto failure = darvex::load_entry_table(path, opened->loaded, *opened->table, opened->entry_count)) {
      return fail(*failure);
    }
    opened->loaded.plan = darvex::plan_entries(*opened->table, opened->entry_count, opened->loaded.index.index_offset);
    *archive = opened.release();
    return DARVEX_OK;
  });
}

void darvex_close(darvex_archive* archive) { delete archive; }

uint32_t darvex_entry_count(const darvex_archive* archive) { return archive != nullptr ? archive->entry_count : 0; }

darvex_status darvex_entry_at(const darvex_archive* archive, uint32_t index, darvex_entry* entry) {
  return guarded([&] {
    if (archive == nullptr || entry == nullptr) return fail(DARVEX_ERROR_ARGUMENT, "darvex_entry_at: a NULL argument");
    if (index >= archive->entry_count) return index_out_of_range(*archive, index);
    const darvex::planned_entry& planned = archive->loaded.plan.entries[index];
    entry->name = planned.name.c_str();
    entry->name_length = planned.name.size();
    entry->size = planned.size;
    entry->offset = static_cast<uint32_t>(planned.start);
    entry->span = static_cast<uint32_t>(planned.span_length());
    entry->refusal = planned.refusal ? planned.refusal->reason.c_str() : nullptr;
    return DARVEX_OK;
  });
}

darvex_status darvex_find(const darvex_archive* archive, const char* name, uint32_t* index) {
  return guarded([&] {
    if (archive == nullptr || name == nullptr || index == nullptr) {
      return fail(DARVEX_ERROR_ARGUMENT, "darvex_find: a NULL argument");
    }
    const std::vector<darvex::planned_entry>& entries = archive->loaded.plan.entries;
    for (std::size_t i = entries.size(); i-- > 0;) {
      if (same_name(entries[i].name, name)) {
        *index = static_cast<uint32_t>(i);
        return DARVEX_OK;
      }
    }
    return fail(DARVEX_ERROR_NOT_FOUND, std::string("no entry is named \"") + name + "\"");
  });
}

darvex_status darvex_read(darvex_archive* archive, uint32_t index, void* buffer, size_t capacity, size_t* produced) {
  if (produced != nullptr) *produced = 0;
  return guarded([&] {
    if (archive == nullptr || produced == nullptr) return fail(DARVEX_ERROR_ARGUMENT, "darvex_read: a NULL argument");
    if (index >= archive->entry_count) return index_out_of_range(*archive, index);
    const darvex::planned_entry& entry = archive->loaded.plan.entries[index];
    if (entry.refusal) return fail(DARVEX_ERROR_REFUSED, entry_named(entry) + ": " + entry.refusal->reason);
    if (capacity < entry.size || (buffer == nullptr && entry.size > 0)) {
      *produced = entry.size;
      return fail(DARVEX_ERROR_ARGUMENT, entry_named(entry) + " inflates to " + std::to_string(entry.size) +
                                             " bytes: a buffer of " + std::to_string(capacity) + " is too small");
    }
    return read_entry(*archive, entry, buffer, produced);
  });
}

const char* darvex_version(void) { return DARVEX_VERSION; }

}  // extern "C"
