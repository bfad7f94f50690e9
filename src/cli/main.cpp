#include "cli/front_end.hpp"
#include "platform/process.hpp"

int main(int argc, char** argv) {
  platform::prepare_process();
  return darvex::run_front_end(std::vector<std::string>(argv + 1, argv + argc));
}
