// What a temporary file's and a temporary folder's moves are on every system; making,
// completing and discarding one are the system's own.

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

temporary_folder::temporary_folder() : folder_(std::make_unique<directory>()) {}

temporary_folder::~temporary_folder() { discard(); }

temporary_folder::temporary_folder(temporary_folder&& other) noexcept
    : folder_(std::move(other.folder_)), parent_(other.parent_), name_(std::move(other.name_)) {
  other.parent_ = nullptr;
  other.folder_ = std::make_unique<directory>();
}

temporary_folder& temporary_folder::operator=(temporary_folder&& other) noexcept {
  if (this != &other) {
    discard();
    folder_ = std::move(other.folder_);
    parent_ = other.parent_;
    name_ = std::move(other.name_);
    other.parent_ = nullptr;
    other.folder_ = std::make_unique<directory>();
  }
  return *this;
}

bool temporary_folder::is_open() const { return parent_ != nullptr; }

}  // namespace platform
