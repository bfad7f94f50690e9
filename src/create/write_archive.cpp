#include "create/write_archive.hpp"

#include <algorithm>
#include <limits>

#include "create/ordered_pipeline.hpp"
#include "create/piece_maker.hpp"

namespace darvex {
namespace {

constexpr std::uint64_t LAST_OFFSET = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t COPY_CHUNK = 1 << 20;
constexpr std::size_t UNREAD_HEADER = 8;

// Where a piece went: its original bytes and its bytes here.
struct placed_piece {
  std::uint64_t start = 0, end = 0;  // original
  std::uint64_t at = 0, length = 0;  // written
};

// Writes pieces one after another at the file's end, keeping count of where it is.
class sequential_writer {
 public:
  sequential_writer(const platform::file_handle& out, const std::string& out_path) : out_(out), out_path_(out_path) {}

  maybe_problem write(const unsigned char* bytes, std::size_t length) {
    if (int err = platform::write_all(out_, bytes, length))
      return problem{problem_kind::output, out_path_, "cannot write", err};
    at_ += length;
    return std::nullopt;
  }

  // Copies the original's bytes from `start` to `end`; their CRC goes to `crc`.
  maybe_problem copy(const archive_file& original, std::uint64_t start, std::uint64_t end, std::uint32_t& crc) {
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<unsigned char[]>(COPY_CHUNK);
    crc = 0;
    for (std::uint64_t at = start; at < end;) {
      const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(COPY_CHUNK, end - at));
      if (auto unread = original.read(at, buffer_.get(), length)) return unread;
      crc = crc32_of(buffer_.get(), length, crc);
      if (auto failure = write(buffer_.get(), length)) return failure;
      at += length;
    }
    return std::nullopt;
  }

  // Writes over bytes already written: the last write of all.
  maybe_problem write_over(std::uint64_t at, const unsigned char* bytes, std::size_t length) {
    if (int err = platform::write_at(out_, at, bytes, length))
      return problem{problem_kind::output, out_path_, "cannot write", err};
    return std::nullopt;
  }

  std::uint64_t at() const { return at_; }
  const std::string& path() const { return out_path_; }

 private:
  const platform::file_handle& out_;
  const std::string& out_path_;
  std::uint64_t at_ = 0;
  std::unique_ptr<unsigned char[]> buffer_;
};

class archive_builder {
 public:
  archive_builder(const pack_plan& plan, const pack_sources& sources, int level, sequential_writer& out,
                  pack_listener& listener, written_archive& written)
      : plan_(plan),
        sources_(sources),
        level_(level),
        out_(out),
        listener_(listener),
        written_(written),
        index_(plan.index) {
    written_.checks.assign(plan.index.records().size(), {});
  }

  maybe_problem write_header() {
    unsigned char header[HEADER_SIZE] = {};
    if (sources_.original != nullptr) {
      if (auto unread = sources_.original->read(0, header, UNREAD_HEADER)) return unread;
    }
    written_.header.assign(reinterpret_cast<const char*>(header), sizeof header);
    return out_.write(header, sizeof header);
  }

  // Writes piece `i` once its bytes are made; false after a failure, kept in failure().
  bool take(std::size_t i, piece_bytes& made) {
    const pack_piece& piece = plan_.pieces[i];
    if (made.failure) return fail(std::move(*made.failure));
    if (piece.record && out_.at() > LAST_OFFSET) return fail(past_4_gib());
    if (piece.kind == piece_kind::revise && made.kept) {
      // Its file holds what extraction writes for the bytes it points at: it keeps pointing there.
      left_in_place_.push_back({*piece.record, std::move(made.damage)});
      return true;
    }
    placed_piece placed{piece.start, piece.end, out_.at(), 0};
    std::uint32_t crc = made.crc;
    if (piece.kind == piece_kind::copy) {
      if (auto failure = out_.copy(*sources_.original, piece.start, piece.end, crc)) return fail(std::move(*failure));
    } else if (piece.kind != piece_kind::drop) {
      if (auto failure = out_.write(made.bytes.get(), made.length)) return fail(std::move(*failure));
    }
    placed.length = out_.at() - placed.at;
    if (stands_for_original_bytes(piece)) placed_.push_back(placed);
    if (piece.record) record_written(piece, made, placed, crc);
    return true;
  }

  // Gives every record its fields, tells of those without a stream and of those dropped, and
  // writes the index.
  maybe_problem finish() {
    const std::uint64_t index_offset = out_.at();
    if (index_offset > LAST_OFFSET) return past_4_gib();
    written_.index_offset = static_cast<std::uint32_t>(index_offset);
    for (const std::size_t record : plan_.unstreamed) left_in_place_.push_back({record, std::nullopt});
    std::sort(left_in_place_.begin(), left_in_place_.end(),
              [](const left_in_place& a, const left_in_place& b) { return a.record < b.record; });
    for (left_in_place& left : left_in_place_) {
      const std::uint32_t offset = mapped(*plan_.original_offsets[left.record]);
      index_.set_fields(left.record, offset, index_.records()[left.record].size);
      tell(left.record, kept_fate(left.record, left.damage), 0, std::move(left.damage));
    }
    for (const dropped_record& dropped : plan_.dropped) {
      listener_.entry_packed({0, dropped.name, entry_fate::dropped, dropped.size, 0, std::nullopt});
    }
    written_.index = index_.bytes();
    if (auto failure = write_index()) return failure;
    unsigned char field[4];
    write_be32(written_.index_offset, field);
    written_.header.replace(INDEX_OFFSET_AT, sizeof field, reinterpret_cast<const char*>(field), sizeof field);
    written_.size = out_.at();
    return out_.write_over(INDEX_OFFSET_AT, field, sizeof field);
  }

  const maybe_problem& failure() const { return failure_; }

 private:
  bool fail(problem failure) {
    failure_ = std::move(failure);
    return false;
  }

  problem past_4_gib() const {
    return {problem_kind::output, out_.path(), "the archive passes 4 GiB, beyond the reach of its 32-bit offsets"};
  }

  void record_written(const pack_piece& piece, piece_bytes& made, const placed_piece& placed, std::uint32_t crc) {
    const std::size_t record = *piece.record;
    const bool kept = piece.kind == piece_kind::copy || made.kept;
    const std::uint32_t size = kept ? index_.records()[record].size : made.size;
    index_.set_fields(record, static_cast<std::uint32_t>(placed.at), size);
    entry_check& check = written_.checks[record];
    check.what = kept ? entry_check::kind::stored_bytes : entry_check::kind::content;
    check.start = placed.at;
    check.stored = placed.length;
    check.length = kept ? placed.length : size;
    check.crc = crc;
    const entry_fate fate = kept          ? kept_fate(record, made.damage)
                            : piece.added ? entry_fate::added
                                          : entry_fate::packed;
    tell(record, fate, placed.length, std::move(made.damage));
  }

  entry_fate kept_fate(std::size_t record, const std::optional<std::string>& damage) const {
    if (damage) return entry_fate::kept_damaged;
    return plan_.file_missing.at(record) ? entry_fate::kept_no_file : entry_fate::kept;
  }

  void tell(std::size_t record, entry_fate fate, std::uint64_t stored, std::optional<std::string> damage = {}) {
    const index_image::record& r = index_.records()[record];
    listener_.entry_packed({static_cast<std::uint32_t>(record + 1), r.name, fate, r.size, stored, std::move(damage)});
  }

  // Where an original offset of a record without a stream of its own lies now: as far into the
  // copied bytes as it was, at the same place in the header, or as far past the index.
  std::uint32_t mapped(std::uint32_t offset) const {
    const std::uint64_t old_index = *plan_.original_index_offset;
    if (offset < HEADER_SIZE) return offset;
    if (offset > old_index) {
      if (offset > written_.index_offset) return offset;
      return static_cast<std::uint32_t>(
          std::min<std::uint64_t>(LAST_OFFSET, offset + (written_.index_offset - old_index)));
    }
    const auto holding = std::upper_bound(placed_.begin(), placed_.end(), offset,
                                          [](std::uint64_t at, const placed_piece& p) { return at < p.end; });
    if (holding == placed_.end() || offset < holding->start) {
      return static_cast<std::uint32_t>(placed_.empty() ? HEADER_SIZE : placed_.back().at + placed_.back().length);
    }
    return static_cast<std::uint32_t>(holding->at + std::min<std::uint64_t>(offset - holding->start, holding->length));
  }

  maybe_problem write_index() {
    const std::string& index = written_.index;
    if (sources_.original_index != nullptr && index == *sources_.original_index) {
      std::uint32_t crc = 0;
      return out_.copy(*sources_.original, *plan_.original_index_offset, sources_.original->size(), crc);
    }
    deflater compress(level_);
    const auto* bytes = reinterpret_cast<const unsigned char*>(index.data());
    const std::size_t bound = compress.bound(index.size());
    const std::unique_ptr<unsigned char[]> stream = std::make_unique_for_overwrite<unsigned char[]>(bound);
    const std::size_t length = compress.deflate(stream.get(), bound, bytes, index.size());
    if (length == 0) return problem{problem_kind::output, out_.path(), "out of memory"};
    if (length > INDEX_BUFFER_SIZE) {
      return problem{problem_kind::output, out_.path(),
                     "compressed index of " + std::to_string(length) + " bytes exceeds the " +
                         std::to_string(INDEX_BUFFER_SIZE) + "-byte index buffer"};
    }
    return out_.write(stream.get(), length);
  }

  const pack_plan& plan_;
  const pack_sources& sources_;
  int level_;  // the index is compressed at the entries' level
  sequential_writer& out_;
  pack_listener& listener_;
  written_archive& written_;
  index_image index_;
  std::vector<placed_piece> placed_;  // pieces of original bytes, in file order
  // Records that keep pointing where they did, with any damage of the bytes there.
  struct left_in_place {
    std::size_t record;
    std::optional<std::string> damage;
  };
  std::vector<left_in_place> left_in_place_;
  maybe_problem failure_;
};

}  // namespace

maybe_problem write_archive(const pack_plan& plan, const pack_sources& sources, const pack_settings& settings,
                            const platform::file_handle& out, const std::string& out_path, pack_listener& listener,
                            written_archive& written) {
  sequential_writer writer(out, out_path);
  archive_builder builder(plan, sources, settings.level, writer, listener, written);
  if (auto failure = builder.write_header()) return failure;
  const bool whole = run_in_order<piece_bytes>(
      plan.pieces.size(), settings.jobs, [&] { return piece_maker(plan, sources, settings.level); },
      [&](std::size_t i, piece_bytes& made) { return builder.take(i, made); },
      [](const piece_bytes& made) { return made.length + 1; }, settings.jobs * ENTRY_BUFFER_SIZE, settings.stopped);
  if (maybe_problem failure = builder.failure()) {
    // A worker's failure of its own (out of memory) concerns no file: it is the new archive's.
    if (failure->path.empty()) failure->path = out_path;
    return failure;
  }
  if (!whole) return std::nullopt;  // stopped
  return builder.finish();
}

}  // namespace darvex
