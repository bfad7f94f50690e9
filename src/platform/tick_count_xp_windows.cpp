// The 32-bit executable runs on Windows XP, whose KERNEL32 has no GetTickCount64. The static
// winpthreads library calls it (for timed waits), and an executable that imports it does not
// start there. This file defines the import entry the linker would otherwise fill from
// KERNEL32's import library, so the import is never made: the system's GetTickCount64 is used
// where there is one (Vista and later), and on XP GetTickCount, widened to 64 bits.
//
// Linked into the executable itself, not a library, so that its definition is there before
// winpthreads asks for the symbol.

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {

using tick_count_64_function = ULONGLONG(WINAPI*)();

constexpr std::uint64_t LOW_HALF = 0xFFFFFFFFu;
constexpr std::uint32_t HALF_RANGE = 0x80000000u;

// The latest value given out: GetTickCount's milliseconds, with its wraps (one every 49.7 days)
// counted in the high half.
std::atomic<std::uint64_t> latest_ticks{0};

// GetTickCount widened to 64 bits. A reading a little behind the latest value was taken
// before it, by a thread that was slower to record it; one far behind means the counter wrapped.
ULONGLONG widened_tick_count() {
  const std::uint32_t now = GetTickCount();
  std::uint64_t seen = latest_ticks.load();
  for (;;) {
    const auto seen_low = static_cast<std::uint32_t>(seen & LOW_HALF);
    std::uint64_t next = (seen & ~LOW_HALF) | now;
    if (now < seen_low) {
      if (seen_low - now < HALF_RANGE) return seen;
      next += LOW_HALF + 1;
    }
    if (latest_ticks.compare_exchange_weak(seen, next)) return next;
  }
}

ULONGLONG WINAPI tick_count_64() {
  const auto system = reinterpret_cast<tick_count_64_function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
  return system != nullptr ? system() : widened_tick_count();
}

}  // namespace

// The import entry's name on i686: "__imp_" and the stdcall-decorated "_GetTickCount64@0".
extern "C" {
extern const tick_count_64_function darvex_get_tick_count_64 __asm__("__imp__GetTickCount64@0");
const tick_count_64_function darvex_get_tick_count_64 = tick_count_64;
}
