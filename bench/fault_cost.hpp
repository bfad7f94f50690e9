#pragma once

// What a page fault costs on this machine: the first touch of a 4 KiB page of anonymous memory
// (the kernel finds a page, zeroes it and maps it), and of a 2 MiB huge page where
// madvise(MADV_HUGEPAGE) gives one. On many virtual machines a fault costs ten times what it
// costs on bare hardware, which changes which extractor wins: one that faults its buffers in
// again for every entry loses most where faults are dear.

#include <optional>
#include <string>

namespace darvex::bench {

struct fault_cost {
  double small_page_us = 0;                 // one 4 KiB fault, the best of the rounds
  double small_page_worst_us = 0;           // the worst round's
  std::optional<double> huge_page_us;       // one 2 MiB fault, when huge pages were given
  std::string huge_page_note;               // why there is none, when there is none
  std::string transparent_huge_pages = "";  // the system's setting, "[madvise]" among its choices
};

// Touches fresh anonymous memory page by page, in several rounds, and keeps the best of each.
fault_cost measure_fault_cost();

// "Page faults here: 0.62 us per 4 KiB page, best of 7 rounds (worst 0.70): cheap (...), 41.0 us
// per 2 MiB huge page (0.080 us per 4 KiB of it); transparent huge pages: always [madvise] never"
std::string describe_fault_cost(const fault_cost& cost);

}  // namespace darvex::bench
