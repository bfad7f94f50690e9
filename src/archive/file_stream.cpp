#include "archive/file_stream.hpp"

#include <cstring>

namespace darvex {

std::string quoted(const std::string& path) { return '"' + path + '"'; }

std::string system_reason(const char* action, int err) {
  std::string reason = action;
  reason += ": ";
  reason += err != 0 ? std::strerror(err) : "unexpected end of file";
  return reason;
}

}  // namespace darvex
