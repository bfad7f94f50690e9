#pragma once

// Memory for large buffers taken from the system whole and given back whole: what one worker
// gives back is at once room for another, where a heap may keep freed memory for the thread
// that freed it (and, under an address-space limit, keep the room others need).

#include <cstddef>
#include <memory>

namespace platform {

struct pages_deleter {
  std::size_t size = 0;
  void operator()(unsigned char* bytes) const;
};

using pages = std::unique_ptr<unsigned char[], pages_deleter>;

// `size` bytes (size > 0), zero-filled; empty when the system has no room for them.
pages allocate_pages(std::size_t size);

}  // namespace platform
