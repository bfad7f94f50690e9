#pragma once

// The few system calls that differ between POSIX and Windows: reading a file by position,
// creating directories, and creating files inside a directory without following or writing
// through whatever already stands at the name.
//
// Paths (the archive, the output directory) are command-line text: bytes as given on POSIX,
// UTF-8 on Windows. Entry names are the bytes the index stores, which on Windows are in the
// system's ANSI code page. Failures are errno values (Windows errors are mapped to the nearest
// errno), so that one message helper can name them.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

#ifdef _WIN32
using native_handle = void*;  // a HANDLE
#else
using native_handle = int;  // a file descriptor
#endif

// An open file or directory, closed when destroyed.
class file_handle {
 public:
  file_handle() = default;
  explicit file_handle(native_handle handle) : handle_(handle) {}
  ~file_handle() { close(); }
  file_handle(file_handle&& other) noexcept : handle_(other.release()) {}
  file_handle& operator=(file_handle&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = other.release();
    }
    return *this;
  }
  file_handle(const file_handle&) = delete;
  file_handle& operator=(const file_handle&) = delete;

  bool is_open() const { return handle_ != invalid_handle(); }
  native_handle get() const { return handle_; }
  native_handle release() {
    const native_handle handle = handle_;
    handle_ = invalid_handle();
    return handle;
  }
  // Closes the handle; 0, or the errno value of a failed close (data that did not reach the file).
  int close();

 private:
  static native_handle invalid_handle();
  native_handle handle_ = invalid_handle();
};

// Opens `path` for reading. 0, or an errno value (EISDIR for a directory).
int open_for_reading(const std::string& path, file_handle& file);

// The file's size in bytes.
int file_size(const file_handle& file, std::uint64_t& size);

// Reads `length` bytes at `offset` without moving any shared position, so that several threads
// may read one file at once. Fewer bytes mean the file ended; `got` tells how many came.
int read_at(const file_handle& file, std::uint64_t offset, void* buffer, std::size_t length, std::size_t& got);

// Creates one directory; an existing directory (or anything else) of that name is left alone,
// and opening it tells what it is. 0, or an errno value.
int make_directory(const std::string& path);

// Creates a directory and every missing parent. 0, or an errno value.
int make_directories(const std::string& path);

// A directory in which files are created by name. The directory itself may be reached through
// a symbolic link; nothing inside it is.
class directory {
 public:
  directory() = default;
  // Opens `path`, which must be an existing directory. 0, or an errno value.
  int open(const std::string& path);

  enum class existing { replace, keep };

  enum class creation {
    made,               // the file was created
    kept,               // something of that name exists and `existing::keep` left it
    through_link,       // a directory part of the name is a link, so nothing was made
    not_representable,  // the name has no file name on this system (Windows)
    failed,             // a system call failed: `err` says why
  };

  struct created {
    creation result = creation::made;
    int err = 0;  // the errno value, for every result but made and kept
  };

  // Creates the file `name` (the index's bytes, '/' separating directory parts; on Windows
  // also '\') for writing, never following a link or opening what is there: a file, link, FIFO
  // or device of that name is removed first and a new file made, unless `existing::keep`.
  // Directory parts must exist already and must not be links.
  created create_file(const char* name, existing policy, file_handle& file) const;

 private:
#ifdef _WIN32
  std::wstring path_;  // the directory's full path, in the form that lifts the length limit
#else
  file_handle handle_;
#endif
};

// Writes all `length` bytes at the file's current position. 0, or an errno value.
int write_all(const file_handle& file, const void* data, std::size_t length);

// A stored entry name as text that name checks can read character by character: the bytes
// themselves on POSIX; on Windows, the ANSI code page's characters in UTF-8, so that no second
// byte of a double-byte character is taken for '\\'. Nothing when the bytes are not valid in
// that code page.
std::optional<std::string> name_as_text(const char* stored);

// `text` (a name from name_as_text) with its letters in one case where file names ignore case
// beyond ASCII: on Windows, upper-cased, as NTFS compares names (É and é are one file there);
// elsewhere unchanged.
std::string case_folded(std::string_view text);

// What text shown to the user is made of, so that each part can be shown in the right code page.
enum class text_kind {
  tool,          // the tool's own words: ASCII
  command_line,  // command-line text: paths and patterns
  stored_name,   // an entry name as the index stores it
  utf8,          // text that stays UTF-8 wherever it goes: JSON Lines
};

struct text_part {
  std::string_view text;
  text_kind kind;
};

// Standard output or error, and whether it is a console: found once, since asking costs a
// system call (under Wine a round trip to its server) and the answer does not change.
struct text_stream {
  std::FILE* file;
  bool console;
};

text_stream text_stream_for(std::FILE* file);

// Writes the parts to `stream` in one piece. 0, or the errno value of a failed write; buffered
// bytes may also fail later, at a flush. On Windows a console is written in UTF-16, and a file
// or pipe gets the ANSI code page's bytes, as an ANSI program would write them.
int write_text(const text_stream& stream, std::initializer_list<text_part> parts);

// Keeps a closed pipe on standard output from ending the process: writes to it fail instead.
void ignore_broken_pipe();

// The system's text for an errno value.
std::string error_text(int err);

}  // namespace platform
