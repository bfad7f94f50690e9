#include "platform/terminal.hpp"

namespace platform {

void use_binary_output(std::FILE*) {}

}  // namespace platform
