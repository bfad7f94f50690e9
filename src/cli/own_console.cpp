#include "cli/own_console.hpp"

namespace darvex {

bool console_is_its_own(const platform::console_facts& facts) {
  return facts.attached_processes == 1 && facts.started_by_a_process && facts.input_is_console &&
         facts.output_is_console;
}

}  // namespace darvex
