// darvex_create: a folder made into an archive as the tool's -c makes it.

#include "capi/failure.hpp"
#include "capi/run_options.hpp"
#include "create/create_archive.hpp"

using darvex::capi::fail;
using darvex::capi::guarded;

namespace {

// Tells the progress callback of each record and keeps the first one kept damaged.
class create_listener final : public darvex::create_observer {
 public:
  explicit create_listener(darvex::capi::progress_relay& progress) : progress_(progress) {}

  void planned(const darvex::pack_plan& plan, const std::vector<darvex::source_file>&) override {
    progress_.set_total(static_cast<std::uint32_t>(plan.index.records().size() + plan.dropped.size()));
  }
  void entry_packed(const darvex::packed_entry& entry) override {
    if (entry.fate == darvex::entry_fate::kept_damaged && damaged_++ == 0) {
      first_damage_ = "entry " + std::to_string(entry.position) + " (" + entry.name +
                      "): kept as stored, damaged: " + entry.damage.value_or("");
    }
    progress_.entry_done(entry.name);
  }

  darvex_status result() const {
    if (damaged_ == 0) return DARVEX_OK;
    const std::string more = damaged_ > 1 ? " (and " + std::to_string(damaged_ - 1) + " more)" : "";
    return fail(DARVEX_ERROR_DAMAGED, first_damage_ + more);
  }

 private:
  darvex::capi::progress_relay& progress_;
  std::size_t damaged_ = 0;
  std::string first_damage_;
};

darvex_status create(const char* new_path, const char* directory, const char* like,
                     const darvex_create_options& options) {
  const std::optional<unsigned> jobs = darvex::capi::jobs_of(options.jobs, "darvex_create");
  if (!jobs) return DARVEX_ERROR_ARGUMENT;
  std::optional<darvex::name_encoding> names = darvex::capi::names_of(options.codepage);
  if (!names) return DARVEX_ERROR_ARGUMENT;
  const int level = options.level != 0 ? options.level : darvex::DEFAULT_COMPRESSION_LEVEL;
  if (level < darvex::MIN_COMPRESSION_LEVEL || level > darvex::max_compression_level()) {
    return fail(DARVEX_ERROR_ARGUMENT, "darvex_create: level must be " + std::to_string(darvex::MIN_COMPRESSION_LEVEL) +
                                           " to " + std::to_string(darvex::max_compression_level()) + ", not " +
                                           std::to_string(level));
  }
  darvex::capi::progress_relay progress(options.progress, options.progress_context);
  darvex::create_request request{new_path,
                                 directory,
                                 like != nullptr ? std::optional<std::string>(like) : std::nullopt,
                                 darvex::capi::pattern_list(options.exclude),
                                 options.sync != 0,
                                 level,
                                 *jobs,
                                 progress.stop_check(),
                                 std::move(*names)};
  create_listener listener(progress);
  bool in_place = false;
  if (auto failure = darvex::create_archive(request, listener, in_place)) return fail(*failure);
  if (!in_place) return fail(DARVEX_ERROR_STOPPED, "darvex_create: stopped by the progress callback");
  return listener.result();
}

}  // namespace

extern "C" darvex_status darvex_create(const char* new_path, const char* directory, const char* like,
                                       const darvex_create_options* options) {
  return guarded([&] {
    if (new_path == nullptr || directory == nullptr) {
      return fail(DARVEX_ERROR_ARGUMENT, "darvex_create: new_path or directory is NULL");
    }
    darvex_create_options defaults;
    darvex_create_options_init(&defaults);
    return create(new_path, directory, like, options != nullptr ? *options : defaults);
  });
}
