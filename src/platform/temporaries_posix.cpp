// Temporaries on POSIX systems: files written under a temporary name and renamed onto their
// own, folders filled under one and renamed once, both locked by their maker (flock, which
// belongs to the open file description, so that it holds across process-number namespaces and
// is let go of when the maker dies), and what killed runs left of them removed only once no one
// holds them.
//
// Making one and removing one meet at the lock. A maker creates the name exclusively, then
// takes the lock without waiting; a remover takes it without waiting, then removes the name and
// only then lets go. So a maker that cannot take the lock, or takes it on a file no name leads
// to any more, knows a remover got there first, and makes another.

#include <sys/file.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "platform/platform.hpp"
#include "platform/posix_names.hpp"

namespace platform {
namespace {

std::atomic<unsigned long> temporary_serial{0};

// This process's number, asked once: the system call would cost as much again as the rest of
// naming a file. It only makes names unlikely to meet; the lock tells whose they are.
pid_t this_process() {
  static const pid_t number = getpid();
  return number;
}

std::string temporary_name() {
  return std::string(TEMPORARY_PREFIX) + std::to_string(this_process()) + "-" + std::to_string(++temporary_serial);
}

// Takes the lock on `fd`, just made under a name: 0 once held; EAGAIN when a remover holds it or
// has already removed the name (make another).
int lock_new(int fd) {
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? EAGAIN : errno;
  struct stat status {};
  if (fstat(fd, &status) != 0) return errno;
  return status.st_nlink == 0 ? EAGAIN : 0;
}

// Removes everything inside the folder `fd`, never following a link.
void remove_contents(int fd) {
  each_name(fd, [&](std::string_view part) {
    const std::string name(part);
    const int inner = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (inner >= 0) {
      remove_contents(inner);
      ::close(inner);
      unlinkat(fd, name.c_str(), AT_REMOVEDIR);
    } else {
      unlinkat(fd, name.c_str(), 0);
    }
  });
}

// Removes the temporary `name` in `folder` if no one holds its lock.
void remove_if_unheld(int folder, const std::string& name) {
  const int fd = openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat opened {};
  struct stat named {};
  if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &opened) == 0 &&
      fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
      identity_from(opened) == identity_from(named)) {
    if (S_ISDIR(opened.st_mode)) {
      remove_contents(fd);
      unlinkat(folder, name.c_str(), AT_REMOVEDIR);
    } else {
      unlinkat(folder, name.c_str(), 0);
    }
  }
  ::close(fd);  // lets go of the lock, once the name is gone
}

}  // namespace

void temporary_file::discard() {
  if (folder_ == nullptr) return;
  unlinkat(folder_->handle_.get(), name_.c_str(), 0);
  file_.close();
  folder_ = nullptr;
}

int directory::create_temporary(temporary_file& file) const {
  // A few rounds: the name may be taken, or a remover may be at it.
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string name = temporary_name();
    const int fd = openat(handle_.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return errno;
    file_handle made(fd);
    const int locked = lock_new(fd);
    if (locked == EAGAIN) continue;
    if (locked != 0) {
      unlinkat(handle_.get(), name.c_str(), 0);
      return locked;
    }
    file = temporary_file();
    file.file_ = std::move(made);
    file.folder_ = this;
    file.name_ = std::move(name);
    return 0;
  }
  return EEXIST;
}

// The file stays open, and so locked, until it is published: its close is part of publishing.
int temporary_file::complete() { return 0; }

int temporary_file::open_for_reading(file_handle& file) const {
  if (folder_ == nullptr) return EBADF;
  const int fd = openat(folder_->handle_.get(), name_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  file = file_handle(fd);
  return 0;
}

int directory::publish(temporary_file& file, std::string_view part) const {
  // rename replaces a file, link, FIFO or device at the name itself, never what a link leads
  // to; onto a folder it fails.
  if (renameat(handle_.get(), file.name_.c_str(), handle_.get(), std::string(part).c_str()) != 0) {
    const int err = errno == ENOTEMPTY || errno == EEXIST ? EISDIR : errno;
    file.discard();
    return err;
  }
  file.folder_ = nullptr;
  // The system may report a write only at close: then the file under the name is not whole,
  // and the name is given up rather than left holding part of it.
  if (const int closed = file.file_.close()) {
    unlinkat(handle_.get(), std::string(part).c_str(), 0);
    return closed;
  }
  return 0;
}

void temporary_folder::discard() {
  if (parent_ == nullptr) return;
  remove_contents(folder_->handle_.get());
  unlinkat(parent_->handle_.get(), name_.c_str(), AT_REMOVEDIR);
  folder_ = std::make_unique<directory>();  // closed: the lock goes with the name
  parent_ = nullptr;
}

int directory::create_temporary_folder(temporary_folder& made) const {
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string name = temporary_name();
    if (mkdirat(handle_.get(), name.c_str(), 0777) != 0) {
      if (errno == EEXIST) continue;
      return errno;
    }
    const int fd = openat(handle_.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) continue;  // a remover was quicker
    if (fd < 0) return errno;
    directory folder;
    folder.handle_ = file_handle(fd);
    const int locked = lock_new(fd);
    if (locked == EAGAIN) continue;
    if (locked != 0) {
      unlinkat(handle_.get(), name.c_str(), AT_REMOVEDIR);
      return locked;
    }
    made = temporary_folder();
    *made.folder_ = std::move(folder);
    made.parent_ = this;
    made.name_ = std::move(name);
    return 0;
  }
  return EEXIST;
}

int directory::publish(temporary_folder& folder, std::string_view part) const {
  const std::string target(part);
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  int renamed = renameat2(handle_.get(), folder.name_.c_str(), handle_.get(), target.c_str(), RENAME_NOREPLACE);
  if (renamed != 0 && (errno == EINVAL || errno == ENOSYS)) {
    // A file system that cannot refuse to replace: look first, then rename.
    struct stat status {};
    if (fstatat(handle_.get(), target.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    renamed = renameat(handle_.get(), folder.name_.c_str(), handle_.get(), target.c_str());
  }
#else
  struct stat status {};
  if (fstatat(handle_.get(), target.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  int renamed = renameat(handle_.get(), folder.name_.c_str(), handle_.get(), target.c_str());
#endif
  if (renamed != 0) return errno == ENOTEMPTY ? EEXIST : errno;
  folder.parent_ = nullptr;
  folder.folder_ = std::make_unique<directory>();
  return 0;
}

int directory::write_new_file(std::string_view part, const void* data, std::size_t length, bool& created) const {
  const std::string name(part);
  created = false;
  const int fd = openat(handle_.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  created = true;
  file_handle file(fd);
  int err = write_all(file, data, length);
  if (err == 0) err = file.close();
  if (err != 0) unlinkat(handle_.get(), name.c_str(), 0);
  return err;
}

void directory::remove_leftovers() const {
  each_name(handle_.get(), [&](std::string_view name) {
    if (is_temporary_name(name)) remove_if_unheld(handle_.get(), std::string(name));
  });
}

}  // namespace platform
