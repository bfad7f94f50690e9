#include "create/read_back.hpp"

#include <cstring>
#include <memory>

#include "format/deflate.hpp"
#include "format/growable_buffer.hpp"
#include "select/entry_plan.hpp"

namespace darvex {
namespace {

entry_outcome differs(std::string reason) { return {problem{problem_kind::output, {}, std::move(reason)}}; }

std::string bytes_and_crc(std::uint64_t length, std::uint32_t crc) {
  return std::to_string(length) + " bytes with CRC " + std::to_string(crc);
}

// Each entry held against its check; kept spans are read raw, new streams inflated.
class checking_sink final : public entry_sink {
 public:
  checking_sink(const archive_file& archive, const written_archive& written) : archive_(archive), written_(written) {}

  std::unique_ptr<entry_writer> writer() override { return std::make_unique<checker>(*this); }
  bool decides_in_turn() const override { return false; }

 private:
  class checker final : public entry_writer {
   public:
    explicit checker(const checking_sink& sink) : sink_(sink) {}

    std::optional<entry_outcome> before_reading(const planned_entry& entry, bool) override {
      const entry_check& check = sink_.check_of(entry);
      if (check.what == entry_check::kind::none) return entry_outcome{};
      // A new stream's span may hold bytes kept after it; a kept span is exactly as written.
      const bool span_fits = check.what == entry_check::kind::content ? entry.span_length() >= check.stored
                                                                      : entry.span_length() == check.stored;
      if (entry.start != check.start || !span_fits) {
        return differs("span at " + std::to_string(entry.start) + " of " + std::to_string(entry.span_length()) +
                       " bytes, written at " + std::to_string(check.start) + " with " + std::to_string(check.stored));
      }
      if (check.what == entry_check::kind::content) return std::nullopt;
      const auto length = static_cast<std::size_t>(check.stored);
      unsigned char* bytes = span_.room(length);
      if (bytes == nullptr && length > 0) return differs("out of memory");
      if (auto unread = sink_.archive_.read(entry.start, bytes, length)) return differs(unread->reason);
      return compared(check, length, crc32_of(bytes, length));
    }

    entry_outcome take(const planned_entry& entry, const unsigned char* data, std::size_t length) override {
      return compared(sink_.check_of(entry), length, crc32_of(data, length));
    }

   private:
    static entry_outcome compared(const entry_check& check, std::uint64_t length, std::uint32_t crc) {
      if (length == check.length && crc == check.crc) return {};
      return differs("holds " + bytes_and_crc(length, crc) + ", not the " + bytes_and_crc(check.length, check.crc) +
                     " written");
    }

    const checking_sink& sink_;
    growable_buffer span_;
  };

  const entry_check& check_of(const planned_entry& entry) const { return written_.checks[entry.position - 1]; }

  const archive_file& archive_;
  const written_archive& written_;
};

// Keeps the first difference, in index order, of an entry that has something to check.
class difference_finder final : public entry_listener {
 public:
  difference_finder(const archive_file& archive, const written_archive& written)
      : archive_(archive), written_(written) {}

  void entry_done(const planned_entry& entry, const entry_outcome& outcome) override {
    if (found_ || !outcome.failure) return;
    if (written_.checks[entry.position - 1].what == entry_check::kind::none) return;
    found_ = archive_.trouble(problem_kind::output, "entry " + std::to_string(entry.position) + " (" + entry.name +
                                                        ") does not read back as written: " + outcome.failure->reason);
  }
  void idle() override {}

  const maybe_problem& found() const { return found_; }

 private:
  const archive_file& archive_;
  const written_archive& written_;
  maybe_problem found_;
};

maybe_problem check_index_bytes(const archive_file& archive, const loaded_index& index,
                                const written_archive& written) {
  const std::string& expected = written.index;
  std::string header(HEADER_SIZE, '\0');
  if (auto unread = archive.read(0, header.data(), header.size())) return unread;
  if (archive.size() != written.size || header != written.header || index.index_offset != written.index_offset ||
      index.inflated.produced != expected.size() ||
      std::memcmp(index.bytes.get(), expected.data(), expected.size()) != 0) {
    return archive.trouble(problem_kind::output, "does not read back as written: its header or index differs");
  }
  return std::nullopt;
}

}  // namespace

maybe_problem read_back(platform::file_handle file, const std::string& path, const written_archive& written,
                        unsigned jobs, platform::stop_check stopped) {
  archive_file archive;
  if (auto failure = archive.open(std::move(file), path)) return failure;
  inflater inflate;
  loaded_index index;
  if (auto failure = load_index(archive, inflate, index)) return failure;
  if (auto failure = check_index(archive, index)) return failure;
  if (auto failure = check_index_bytes(archive, index, written)) return failure;
  const std::unique_ptr<entry_table> table(new entry_table);
  std::uint32_t count = 0;
  if (auto failure = read_entry_table(archive, index, *table, count)) return failure;
  if (count != written.checks.size()) {
    return archive.trouble(problem_kind::output, "does not read back as written: it lists " + std::to_string(count) +
                                                     " entries, not " + std::to_string(written.checks.size()));
  }
  const entry_plan plan = plan_entries(*table, count, index.index_offset);
  checking_sink sink(archive, written);
  difference_finder finder(archive, written);
  extract_entries(archive, plan, sink, finder, jobs, stopped);
  return finder.found();
}

}  // namespace darvex
