#pragma once

#include <cstddef>

#include "platform/pages.hpp"

namespace darvex {

// A buffer that is made once, as large as the largest request it is expected to serve, and
// reused from then on, so that its pages are faulted in once for a whole run. Its memory comes
// from the system whole and goes back whole when released.
class growable_buffer {
 public:
  // Room for `size` bytes, or nullptr when there is not enough memory. When the buffer must
  // grow it takes room for `expected` bytes (the most any later request will need), or, when
  // that cannot be had, for `size`.
  unsigned char* room(std::size_t size, std::size_t expected = 0) {
    if (size > capacity_) {
      release();  // the old bytes go first: the two are never held at once
      if (expected > size) take(expected);
      if (!bytes_) take(size);
    }
    return size == 0 || bytes_ ? bytes_.get() : nullptr;
  }
  void release() {
    bytes_.reset();
    capacity_ = 0;
  }

 private:
  void take(std::size_t size) {
    bytes_ = platform::allocate_pages(size);
    capacity_ = bytes_ ? size : 0;
  }

  platform::pages bytes_;
  std::size_t capacity_ = 0;
};

}  // namespace darvex
