#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/name_parts.hpp"
#include "platform/platform.hpp"

namespace platform {
namespace {

bool is_link_at(int parent, const std::string& part) {
  struct stat status {};
  return fstatat(parent, part.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
}

// Opens the directory `part` inside `parent` without following a link: ELOOP when it is one.
int open_directory_at(int parent, const std::string& part, file_handle& out) {
  const int fd = openat(parent, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    return (err == ENOTDIR || err == ELOOP) && is_link_at(parent, part) ? ELOOP : err;
  }
  out = file_handle(fd);
  return 0;
}

}  // namespace

int file_handle::close() {
  if (!is_open()) return 0;
  const int closed = ::close(release());
  return closed == 0 || errno == EINTR ? 0 : errno;
}

native_handle file_handle::invalid_handle() { return -1; }

int open_for_reading(const std::string& path, file_handle& file) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  file = file_handle(fd);
  struct stat status {};
  if (fstat(fd, &status) != 0) return errno;
  if (S_ISDIR(status.st_mode)) return EISDIR;
  return 0;
}

int file_size(const file_handle& file, std::uint64_t& size) {
  struct stat status {};
  if (fstat(file.get(), &status) != 0) return errno;
  size = static_cast<std::uint64_t>(status.st_size);
  return 0;
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

directory::created directory::create_file(const char* name, existing policy, file_handle& file) const {
  file_handle parent_holder;
  int parent = handle_.get();
  // Directory parts, split at '/' and opened one by one; empty and "." parts are skipped.
  auto part = name_parts(name).begin();
  for (; !part.is_last(); ++part) {
    if ((*part).empty() || *part == ".") continue;
    if (int err = open_directory_at(parent, std::string(*part), parent_holder)) {
      return {err == ELOOP ? creation::through_link : creation::failed, err};
    }
    parent = parent_holder.get();
  }
  const std::string leaf(*part);
  // A few rounds: another process may make the name again between the removal and the create.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const int fd = openat(parent, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      file = file_handle(fd);
      return {};
    }
    if (errno != EEXIST) return {directory::creation::failed, errno};
    if (policy == existing::keep) return {directory::creation::kept};
    // unlinkat removes a file, link, FIFO or device, never a directory (EISDIR).
    if (unlinkat(parent, leaf.c_str(), 0) != 0 && errno != ENOENT) return {directory::creation::failed, errno};
  }
  return {directory::creation::failed, EEXIST};
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

std::optional<std::string> name_as_text(const char* stored) { return std::string(stored); }

std::string case_folded(std::string_view text) { return std::string(text); }

text_stream text_stream_for(std::FILE* file) { return {file, false}; }

int write_text(const text_stream& stream, std::initializer_list<text_part> parts) {
  std::string text;
  for (const text_part& part : parts) text += part.text;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream.file) == text.size()) return 0;
  return errno != 0 ? errno : EIO;
}

void ignore_broken_pipe() { std::signal(SIGPIPE, SIG_IGN); }

std::string error_text(int err) { return std::strerror(err); }

}  // namespace platform
