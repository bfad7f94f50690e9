// darvex_fault_cost: prints what a page fault costs on this machine (fault_cost.hpp), the line
// the benchmark prints at its start.

#include <cstdio>
#include <exception>

#include "fault_cost.hpp"

int main() {
  try {
    std::printf("%s\n", darvex::bench::describe_fault_cost(darvex::bench::measure_fault_cost()).c_str());
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "darvex_fault_cost: %s\n", error.what());
    return 1;
  }
}
