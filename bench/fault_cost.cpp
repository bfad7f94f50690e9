#include "fault_cost.hpp"

#include <sys/mman.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace darvex::bench {
namespace {

constexpr std::size_t SMALL_PAGE = 4096;
constexpr std::size_t HUGE_PAGE = 2 * 1024 * 1024;
constexpr std::size_t SMALL_REGION = 32 * 1024 * 1024;  // 8,192 faults a round
constexpr std::size_t HUGE_REGION = 64 * 1024 * 1024;   // 32 faults a round
constexpr int ROUNDS = 7;
// Above this a 4 KiB fault is dear (many virtual machines take 10 to 20 us); below the other,
// cheap (bare hardware takes well under a microsecond, most of it zeroing the page).
constexpr double DEAR_US = 2.0;
constexpr double CHEAP_US = 1.0;
const char* const THP_SETTING = "/sys/kernel/mm/transparent_hugepage/enabled";

// Fresh anonymous memory, unmapped when done with; `align` bytes of slack let a region start
// on a huge-page boundary.
class anonymous_region {
 public:
  anonymous_region(std::size_t length, std::size_t align) : length_(length + align) {
    base_ = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base_ == MAP_FAILED) throw std::runtime_error("cannot map memory to measure page faults");
    const auto address = reinterpret_cast<std::uintptr_t>(base_);
    start_ = static_cast<unsigned char*>(base_) + (align == 0 ? 0 : (align - address % align) % align);
  }
  ~anonymous_region() { munmap(base_, length_); }
  anonymous_region(const anonymous_region&) = delete;
  anonymous_region& operator=(const anonymous_region&) = delete;

  unsigned char* start() const { return start_; }

 private:
  std::size_t length_;
  void* base_;
  unsigned char* start_ = nullptr;
};

long minor_faults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

struct touched {
  double seconds;
  long faults;
};

// Writes one byte every `stride` bytes of `length` at `at`, the first touch of each page.
touched touch(unsigned char* at, std::size_t length, std::size_t stride) {
  volatile unsigned char* bytes = at;
  const long before = minor_faults();
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < length; i += stride) bytes[i] = 1;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {seconds, minor_faults() - before};
}

double small_page_round() {
  anonymous_region region(SMALL_REGION, 0);
  madvise(region.start(), SMALL_REGION, MADV_NOHUGEPAGE);  // 4 KiB pages even where huge ones are the default
  const touched t = touch(region.start(), SMALL_REGION, SMALL_PAGE);
  return t.seconds * 1e6 / static_cast<double>(std::max(t.faults, 1L));
}

// One 2 MiB fault's time, or nothing when some page of the region came as 4 KiB pages (told
// by touching every 4 KiB page afterwards: a huge page takes no further fault).
std::optional<double> huge_page_round() {
  anonymous_region region(HUGE_REGION, HUGE_PAGE);
  if (madvise(region.start(), HUGE_REGION, MADV_HUGEPAGE) != 0) return std::nullopt;
  const touched t = touch(region.start(), HUGE_REGION, HUGE_PAGE);
  if (touch(region.start(), HUGE_REGION, SMALL_PAGE).faults != 0) return std::nullopt;
  return t.seconds * 1e6 / static_cast<double>(std::max(t.faults, 1L));
}

std::string first_line_of(const char* path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

const char* verdict(double small_page_us) {
  return small_page_us >= DEAR_US ? "dear" : small_page_us < CHEAP_US ? "cheap" : "neither cheap nor dear";
}

}  // namespace

fault_cost measure_fault_cost() {
  fault_cost cost;
  cost.transparent_huge_pages = first_line_of(THP_SETTING);
  std::vector<double> rounds;
  for (int round = 0; round < ROUNDS; ++round) rounds.push_back(small_page_round());
  cost.small_page_us = *std::min_element(rounds.begin(), rounds.end());
  cost.small_page_worst_us = *std::max_element(rounds.begin(), rounds.end());
  for (int round = 0; round < ROUNDS; ++round) {
    const std::optional<double> huge = huge_page_round();
    if (!huge) break;
    cost.huge_page_us = std::min(cost.huge_page_us.value_or(*huge), *huge);
  }
  if (!cost.huge_page_us) {
    cost.huge_page_note = "madvise(MADV_HUGEPAGE) gave 4 KiB pages";
  }
  return cost;
}

std::string describe_fault_cost(const fault_cost& cost) {
  char text[512];
  int used = std::snprintf(text, sizeof text,
                           "Page faults here: %.2f us per 4 KiB page, best of %d rounds (worst %.2f): %s "
                           "(%.0f us or more is dear, under %.0f us cheap)",
                           cost.small_page_us, ROUNDS, cost.small_page_worst_us, verdict(cost.small_page_us), DEAR_US,
                           CHEAP_US);
  if (cost.huge_page_us) {
    used += std::snprintf(text + used, sizeof text - static_cast<std::size_t>(used),
                          ", %.1f us per 2 MiB huge page (%.3f us per 4 KiB of it)", *cost.huge_page_us,
                          *cost.huge_page_us * static_cast<double>(SMALL_PAGE) / static_cast<double>(HUGE_PAGE));
  } else {
    used += std::snprintf(text + used, sizeof text - static_cast<std::size_t>(used), "; no huge page: %s",
                          cost.huge_page_note.c_str());
  }
  if (!cost.transparent_huge_pages.empty()) {
    std::snprintf(text + used, sizeof text - static_cast<std::size_t>(used), "; transparent huge pages: %s",
                  cost.transparent_huge_pages.c_str());
  }
  return text;
}

}  // namespace darvex::bench
