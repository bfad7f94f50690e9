#include <sys/mman.h>

#include "platform/pages.hpp"

namespace platform {

void pages_deleter::operator()(unsigned char* bytes) const { munmap(bytes, size); }

pages allocate_pages(std::size_t size) {
  void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return pages(nullptr, pages_deleter{0});
  return pages(static_cast<unsigned char*>(mapped), pages_deleter{size});
}

}  // namespace platform
