#include "format/index_image.hpp"

#include "format/archive.hpp"

namespace darvex {
index_image::index_image() : bytes_(RECORDS_AT, '\0') {}

std::optional<index_image> index_image::parse(std::string bytes) {
  index_image image;
  image.bytes_ = std::move(bytes);
  const std::uint32_t count = image.read_be32_at(ENTRY_COUNT_AT);
  if (count > MAX_ENTRIES) return std::nullopt;
  std::size_t at = RECORDS_AT;
  for (std::uint32_t i = 0; i < count; ++i) {
    record r;
    r.at = at;
    r.length = image.read_at(at);
    for (std::size_t k = 0; k < r.length; ++k) r.name += static_cast<char>(image.read_at(at + 1 + k));
    r.name.resize(r.name.find('\0') == std::string::npos ? r.name.size() : r.name.find('\0'));
    r.offset = image.read_be32_at(at + 1 + r.length);
    r.size = image.read_be32_at(at + 5 + r.length);
    at += RECORD_FIXED_SIZE + r.length;
    image.records_.push_back(std::move(r));
  }
  return image;
}

std::optional<index_image> index_image::from_dump(const std::string& dump) {
  std::optional<index_image> image = parse(dump);
  if (!image) return std::nullopt;
  const std::size_t last = dump.find_last_not_of('\0');
  const std::size_t end = std::max(image->records_end(), last == std::string::npos ? 0 : last + 1);
  image->bytes_.resize(std::min(std::max(end, RECORDS_AT), dump.size()));
  return image;
}

unsigned char index_image::read_at(std::size_t at) const {
  if (at < bytes_.size()) return static_cast<unsigned char>(bytes_[at]);
  return at < INDEX_BUFFER_SIZE ? 0x00 : 0xFF;
}

std::uint32_t index_image::read_be32_at(std::size_t at) const {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | read_at(at + i);
  return value;
}

void index_image::write_be32_at(std::size_t at, std::uint32_t value) {
  unsigned char field[4];
  write_be32(value, field);
  for (std::size_t i = 0; i < 4; ++i) {
    if (read_at(at + i) == field[i]) continue;
    cover(at + i + 1);
    bytes_[at + i] = static_cast<char>(field[i]);
  }
}

void index_image::cover(std::size_t end) {
  while (bytes_.size() < end) bytes_ += static_cast<char>(read_at(bytes_.size()));
}

std::size_t index_image::records_end() const {
  if (records_.empty()) return RECORDS_AT;
  const record& last = records_.back();
  return last.at + RECORD_FIXED_SIZE + last.length;
}

void index_image::set_count() { write_be32_at(ENTRY_COUNT_AT, static_cast<std::uint32_t>(records_.size())); }

void index_image::set_fields(std::size_t i, std::uint32_t offset, std::uint32_t size) {
  record& r = records_.at(i);
  write_be32_at(r.at + 1 + r.length, offset);
  write_be32_at(r.at + 5 + r.length, size);
  r.offset = offset;
  r.size = size;
}

void index_image::add(const std::string& name, std::uint32_t offset, std::uint32_t size) {
  const std::size_t at = records_end();
  cover(at);
  std::string bytes(RECORD_FIXED_SIZE + name.size(), '\0');
  bytes[0] = static_cast<char>(name.size());
  bytes.replace(1, name.size(), name);
  bytes_.insert(at, bytes);
  records_.push_back({name, at, name.size(), 0, 0});
  set_fields(records_.size() - 1, offset, size);
  set_count();
}

void index_image::remove(std::size_t i) {
  const record gone = records_.at(i);
  const std::size_t length = RECORD_FIXED_SIZE + gone.length;
  cover(gone.at + length);
  bytes_.erase(gone.at, length);
  records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
  for (std::size_t k = i; k < records_.size(); ++k) records_[k].at -= length;
  set_count();
}

}  // namespace darvex
