#include <cerrno>

#include "format/archive.hpp"

namespace darvex {

maybe_problem archive_file::open(const std::string& path) {
  path_ = path;
  // Read-only: nothing writes through it, and read-only archives must extract.
  platform::file_type type = platform::file_type::other;
  if (int err = platform::open_for_reading(path, file_, type))
    return trouble(problem_kind::archive, "cannot open", err);
  if (type == platform::file_type::directory) return trouble(problem_kind::archive, "cannot open", EISDIR);
  // A FIFO, socket or terminal would block or never end, and has no size to find the index by.
  if (type == platform::file_type::other) return trouble(problem_kind::archive, "not a regular file");
  return open(std::move(file_), path);
}

maybe_problem archive_file::open(platform::file_handle file, const std::string& path) {
  path_ = path;
  file_ = std::move(file);
  if (int err = platform::file_size(file_, size_)) return trouble(problem_kind::archive, "cannot read", err);
  if (int err = platform::identity_of(file_, identity_)) return trouble(problem_kind::archive, "cannot read", err);
  named_only_by_path_ = platform::named_only_by(file_, path_);
  return std::nullopt;
}

maybe_problem archive_file::read(std::uint64_t offset, void* buffer, std::size_t length, const char* action) const {
  std::size_t got = 0;
  if (int err = platform::read_at(file_, offset, buffer, length, got))
    return trouble(problem_kind::archive, action, err);
  if (got != length) return trouble(problem_kind::archive, std::string(action) + ": unexpected end of file");
  return std::nullopt;
}

}  // namespace darvex
