#include "platform/platform.hpp"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace platform {

int make_directory(const char* path) {
  if (mkdir(path, 0777) == 0 || errno == EEXIST) return 0;
  return errno;
}

int change_directory(const char* path) { return chdir(path) == 0 ? 0 : errno; }

bool seek_to(std::FILE* stream, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
  return fseeko(stream, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::optional<std::uint64_t> stream_size(std::FILE* stream) {
  if (fseeko(stream, 0, SEEK_END) != 0) return std::nullopt;
  const off_t end = ftello(stream);
  if (end < 0) return std::nullopt;
  return static_cast<std::uint64_t>(end);
}

}  // namespace platform
