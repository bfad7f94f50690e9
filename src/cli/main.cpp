#include "cli/front_end.hpp"
#include "platform/platform.hpp"

int main(int argc, char** argv) {
  platform::ignore_broken_pipe();
  return darvex::run_front_end(std::vector<std::string>(argv + 1, argv + argc));
}
