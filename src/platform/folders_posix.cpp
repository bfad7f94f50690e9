#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/folders.hpp"

namespace platform {

bool path_exists(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0 || errno != ENOENT;
}

int remove_empty_directory(const std::string& path) { return rmdir(path.c_str()) == 0 ? 0 : errno; }

}  // namespace platform
