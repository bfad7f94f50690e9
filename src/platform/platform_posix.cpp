#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/platform.hpp"
#include "platform/posix_names.hpp"

namespace platform {
namespace {

file_type type_from(mode_t mode) {
  if (S_ISREG(mode)) return file_type::regular;
  if (S_ISDIR(mode)) return file_type::directory;
  if (S_ISBLK(mode)) return file_type::block_device;
  return file_type::other;
}

}  // namespace

int file_handle::close() {
  if (!is_open()) return 0;
  const int closed = ::close(release());
  return closed == 0 || errno == EINTR ? 0 : errno;
}

native_handle file_handle::invalid_handle() { return -1; }

int open_for_reading(const std::string& path, file_handle& file, file_type& type) {
  // Non-blocking, so that a FIFO without a writer opens at once and can be refused.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    // A socket cannot be opened at all; it is still something that is not a file.
    struct stat status {};
    if (err != ENXIO || stat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode)) return err;
    type = file_type::other;
    return 0;
  }
  file = file_handle(fd);
  struct stat status {};
  if (fstat(fd, &status) != 0) return errno;
  type = type_from(status.st_mode);
  return 0;
}

int file_size(const file_handle& file, std::uint64_t& size) {
  struct stat status {};
  if (fstat(file.get(), &status) != 0) return errno;
  if (!S_ISBLK(status.st_mode)) {
    size = static_cast<std::uint64_t>(status.st_size);
    return 0;
  }
  // A block device's size is where its end lies; reads are positional, so moving there is harmless.
  const off_t end = lseek(file.get(), 0, SEEK_END);
  if (end < 0) return errno;
  size = static_cast<std::uint64_t>(end);
  return 0;
}

int identity_of(const file_handle& file, file_identity& identity) {
  struct stat status {};
  if (fstat(file.get(), &status) != 0) return errno;
  identity = identity_from(status);
  return 0;
}

bool named_only_by(const file_handle& file, const std::string& path) {
  struct stat opened {};
  struct stat named {};
  return fstat(file.get(), &opened) == 0 && lstat(path.c_str(), &named) == 0 && opened.st_nlink == 1 &&
         identity_from(opened) == identity_from(named);
}

bool may_be_one_name(std::string_view a, std::string_view b) { return a == b; }

std::size_t descriptor_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1 << 20;
  return static_cast<std::size_t>(limit.rlim_cur);
}

int read_at(const file_handle& file, std::uint64_t offset, void* buffer, std::size_t length, std::size_t& got) {
  got = 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (got < length) {
    const ssize_t read = pread(file.get(), bytes + got, length - got, static_cast<off_t>(offset + got));
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) return errno;
    if (read == 0) break;
    got += static_cast<std::size_t>(read);
  }
  return 0;
}

int make_directory(const std::string& path) {
  if (mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) return 0;
  return errno;
}

int make_directories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    if (int err = make_directory(path.substr(0, slash))) return err;
  }
  return make_directory(path);
}

int directory::open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  handle_ = file_handle(fd);
  return 0;
}

int directory::open_folder(std::string_view part, bool create, directory& folder, bool* made) const {
  const std::string name(part);
  if (made != nullptr) *made = false;
  if (create) {
    if (mkdirat(handle_.get(), name.c_str(), 0777) == 0) {
      if (made != nullptr) *made = true;
    } else if (errno != EEXIST) {
      return errno;
    }
  }
  const int fd = openat(handle_.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    return (err == ENOTDIR || err == ELOOP) && is_link_at(handle_.get(), name.c_str()) ? ELOOP : err;
  }
  folder.handle_ = file_handle(fd);
  return 0;
}

int directory::look(std::string_view part, standing& found) const {
  struct stat status {};
  if (fstatat(handle_.get(), std::string(part).c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) return errno;
    found = {};
    return 0;
  }
  const file_type type = type_from(status.st_mode);
  found.kind = type == file_type::regular     ? standing_kind::file
               : type == file_type::directory ? standing_kind::folder
                                              : standing_kind::other;
  found.identity = identity_from(status);
  return 0;
}

int directory::identity(file_identity& identity) const { return identity_of(handle_, identity); }

int directory::list(std::vector<listed>& names) const {
  names.clear();
  int trouble = 0;
  const int err = each_name(handle_.get(), [&](std::string_view name) {
    if (is_temporary_name(name)) return;
    standing found;
    if (int looked = look(name, found)) {
      trouble = looked;
    } else if (found.kind != standing_kind::nothing) {  // gone meanwhile
      names.push_back({std::string(name), found.kind});
    }
  });
  return err != 0 ? err : trouble;
}

int directory::open_file(std::string_view part, file_handle& file, file_type& type) const {
  const std::string name(part);
  const int fd = openat(handle_.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    return err == ELOOP || (err == ENXIO && is_link_at(handle_.get(), name.c_str())) ? ELOOP : err;
  }
  file = file_handle(fd);
  struct stat status {};
  if (fstat(fd, &status) != 0) return errno;
  type = type_from(status.st_mode);
  return type == file_type::directory ? EISDIR : 0;
}

int write_all(const file_handle& file, const void* data, std::size_t length) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (length > 0) {
    const ssize_t written = write(file.get(), bytes, length);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return 0;
}

int write_at(const file_handle& file, std::uint64_t offset, const void* data, std::size_t length) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (length > 0) {
    const ssize_t written = pwrite(file.get(), bytes, length, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    bytes += written;
    offset += static_cast<std::uint64_t>(written);
    length -= static_cast<std::size_t>(written);
  }
  return 0;
}

std::optional<std::string> name_as_text(const char* stored) { return std::string(stored); }

std::optional<std::string> stored_from_text(std::string_view text) { return std::string(text); }

std::string case_folded(std::string_view text) { return std::string(text); }

text_stream text_stream_for(std::FILE* file) { return {file, false}; }

int write_text(const text_stream& stream, std::initializer_list<text_part> parts) {
  std::string text;
  for (const text_part& part : parts) text += part.text;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream.file) == text.size()) return 0;
  return errno != 0 ? errno : EIO;
}

std::string error_text(int err) { return std::strerror(err); }

}  // namespace platform
