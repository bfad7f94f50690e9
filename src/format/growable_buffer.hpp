#pragma once

#include <cstddef>

#include "platform/pages.hpp"

namespace darvex {

// A buffer that grows to the largest request it has served and is reused from then on, so that
// a worker's entries cost no allocation (and no fresh pages) once it has seen the largest. Its
// memory comes from the system whole and goes back whole when released.
class growable_buffer {
 public:
  // Room for `size` bytes, or nullptr when there is not enough memory.
  unsigned char* room(std::size_t size) {
    if (size > capacity_) {
      release();  // the old bytes go first: the two are never held at once
      bytes_ = platform::allocate_pages(size);
      capacity_ = bytes_ ? size : 0;
    }
    return size == 0 || bytes_ ? bytes_.get() : nullptr;
  }
  void release() {
    bytes_.reset();
    capacity_ = 0;
  }

 private:
  platform::pages bytes_;
  std::size_t capacity_ = 0;
};

}  // namespace darvex
