#include <windows.h>

#include "platform/pages.hpp"

namespace platform {

void pages_deleter::operator()(unsigned char* bytes) const { VirtualFree(bytes, 0, MEM_RELEASE); }

pages allocate_pages(std::size_t size) {
  void* mapped = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  return pages(static_cast<unsigned char*>(mapped), pages_deleter{mapped == nullptr ? 0 : size});
}

}  // namespace platform
