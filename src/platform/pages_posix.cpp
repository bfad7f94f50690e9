#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "platform/pages.hpp"

namespace platform {
namespace {

constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;

std::size_t rounded_up(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

// `size` bytes (a multiple of HUGE_PAGE) that start on a huge-page boundary, so that the system
// may back all of them with huge pages: a larger mapping, its ends given back. Nullptr when there
// is no room.
unsigned char* aligned_mapping(std::size_t size) {
  const std::size_t padded = size + HUGE_PAGE;
  void* mapped = mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  auto* start = static_cast<unsigned char*>(mapped);
  const auto address = reinterpret_cast<std::uintptr_t>(start);
  const std::size_t head = rounded_up(address, HUGE_PAGE) - address;
  if (head > 0) munmap(start, head);
  if (HUGE_PAGE - head > 0) munmap(start + head + size, HUGE_PAGE - head);
  return start + head;
}

}  // namespace

void pages_deleter::operator()(unsigned char* bytes) const { munmap(bytes, size); }

pages allocate_pages(std::size_t size) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  if (size >= HUGE_PAGE) {
    // Buffers this large are faulted in 2 MiB at a time where the system offers huge pages:
    // hundreds of times fewer faults, each dear on a virtual machine.
    const std::size_t whole = rounded_up(size, HUGE_PAGE);
    if (unsigned char* start = aligned_mapping(whole)) {
#ifdef MADV_HUGEPAGE
      madvise(start, whole, MADV_HUGEPAGE);  // a hint: without huge pages, small ones serve
#endif
      return pages(start, pages_deleter{whole});
    }
    return pages(nullptr, pages_deleter{0});
  }
  const std::size_t whole = rounded_up(size, page);
  void* mapped = mmap(nullptr, whole, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return pages(nullptr, pages_deleter{0});
  return pages(static_cast<unsigned char*>(mapped), pages_deleter{whole});
}

}  // namespace platform
