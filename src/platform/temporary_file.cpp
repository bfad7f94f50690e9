// What a temporary file's moves are on every system; making, completing and discarding one
// are the system's own.

#include <utility>

#include "platform/platform.hpp"

namespace platform {

temporary_file::temporary_file(temporary_file&& other) noexcept
    : file_(std::move(other.file_)), folder_(other.folder_), name_(std::move(other.name_)) {
  other.folder_ = nullptr;
}

temporary_file& temporary_file::operator=(temporary_file&& other) noexcept {
  if (this != &other) {
    discard();
    file_ = std::move(other.file_);
    folder_ = other.folder_;
    name_ = std::move(other.name_);
    other.folder_ = nullptr;
  }
  return *this;
}

}  // namespace platform
