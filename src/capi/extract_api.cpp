// darvex_extract: the selected entries written into a directory as the tool writes them, with
// table.bin beside them.

#include "capi/archive_handle.hpp"
#include "capi/failure.hpp"
#include "capi/run_options.hpp"
#include "extract/directory_writer.hpp"

using darvex::capi::fail;
using darvex::capi::guarded;

namespace {

// Hears each entry in index order: keeps the first failure and tells the progress callback.
class extract_listener final : public darvex::entry_listener {
 public:
  explicit extract_listener(darvex::capi::progress_relay& progress) : progress_(progress) {}

  void entry_done(const darvex::planned_entry& entry, const darvex::entry_outcome& outcome) override {
    if (outcome.failure) {
      if (failures_++ == 0) {
        first_status_ = darvex::capi::status_of(*outcome.failure);
        first_words_ = "entry " + std::to_string(entry.position) + " (" + entry.name +
                       "): " + darvex::capi::words_of(*outcome.failure);
      }
    }
    progress_.entry_done(entry.name);
  }
  void idle() override {}

  // The run's status, given `unmatched`, the include patterns that matched no entry.
  darvex_status result(const std::vector<std::string>& unmatched) const {
    if (failures_ > 0) {
      const std::string more = failures_ > 1 ? " (and " + std::to_string(failures_ - 1) + " more failed)" : "";
      return fail(first_status_, first_words_ + more);
    }
    if (!unmatched.empty()) return fail(DARVEX_ERROR_NOT_FOUND, "no entry matches \"" + unmatched.front() + "\"");
    return DARVEX_OK;
  }

 private:
  darvex::capi::progress_relay& progress_;
  std::size_t failures_ = 0;
  darvex_status first_status_ = DARVEX_OK;
  std::string first_words_;
};

darvex_status extract(darvex_archive& archive, const char* directory, const darvex_extract_options& options) {
  const std::optional<unsigned> jobs = darvex::capi::jobs_of(options.jobs, "darvex_extract");
  if (!jobs) return DARVEX_ERROR_ARGUMENT;
  std::optional<darvex::name_encoding> names = darvex::capi::names_of(options.codepage);
  if (!names) return DARVEX_ERROR_ARGUMENT;
  const darvex::entry_selection selection{darvex::capi::pattern_list(options.include),
                                          darvex::capi::pattern_list(options.exclude), options.strip_components,
                                          std::move(*names)};
  const darvex::entry_plan plan =
      darvex::plan_entries(*archive.table, archive.entry_count, archive.loaded.index.index_offset, selection);
  const auto policy = options.no_overwrite ? darvex::existing_files::keep : darvex::existing_files::replace;

  darvex::directory_writer writer;
  if (auto failure = writer.open(directory, true, archive.loaded.archive)) return fail(*failure);
  if (!options.no_table) {
    if (auto failure = writer.write_table(archive.loaded.index, policy)) {
      (void)writer.finish();
      return fail(*failure);
    }
  }
  darvex::capi::progress_relay progress(options.progress, options.progress_context);
  progress.set_total(static_cast<std::uint32_t>(plan.entries.size()));
  extract_listener listener(progress);
  darvex::directory_sink sink(writer, policy, *jobs);
  darvex::extract_entries(archive.loaded.archive, plan, sink, listener, *jobs, progress.stop_check());
  if (auto failure = writer.finish()) return fail(*failure);
  if (progress.stop_asked()) return fail(DARVEX_ERROR_STOPPED, "darvex_extract: stopped by the progress callback");
  return listener.result(plan.unmatched);
}

}  // namespace

extern "C" darvex_status darvex_extract(darvex_archive* archive, const char* directory,
                                        const darvex_extract_options* options) {
  return guarded([&] {
    if (archive == nullptr || directory == nullptr) {
      return fail(DARVEX_ERROR_ARGUMENT, "darvex_extract: archive or directory is NULL");
    }
    darvex_extract_options defaults;
    darvex_extract_options_init(&defaults);
    return extract(*archive, directory, options != nullptr ? *options : defaults);
  });
}
