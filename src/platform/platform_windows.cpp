#include "platform/platform.hpp"

#include <direct.h>

#include <cerrno>
#include <cstdint>

namespace platform {

int make_directory(const char* path) {
  if (_mkdir(path) == 0 || errno == EEXIST) return 0;
  return errno;
}

int change_directory(const char* path) { return _chdir(path) == 0 ? 0 : errno; }

bool seek_to(std::FILE* stream, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return _fseeki64(stream, static_cast<__int64>(offset), SEEK_SET) == 0;
}

std::optional<std::uint64_t> stream_size(std::FILE* stream) {
  if (_fseeki64(stream, 0, SEEK_END) != 0) return std::nullopt;
  const __int64 end = _ftelli64(stream);
  if (end < 0) return std::nullopt;
  return static_cast<std::uint64_t>(end);
}

}  // namespace platform
