#include <fcntl.h>
#include <io.h>

#include "platform/terminal.hpp"

namespace platform {

void use_binary_output(std::FILE* stream) {
  std::fflush(stream);
  _setmode(_fileno(stream), _O_BINARY);
}

}  // namespace platform
