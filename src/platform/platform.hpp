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
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// What a file is, as far as the tool cares: only regular files and block devices are read as
// archives; a FIFO, socket or character device would block or never end.
enum class file_type { regular, directory, block_device, other };

// Which file a handle or name is: the same on two names means one file (a hard link, or the
// same path). The device and the file's number on it (on Windows the volume's serial number and
// the file ID).
struct file_identity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  bool operator==(const file_identity&) const = default;
};

// What changes whenever a file's bytes do: its size and the time it was last written.
struct file_stamp {
  std::uint64_t size = 0;
  std::int64_t written_seconds = 0;
  std::int64_t written_nanoseconds = 0;  // POSIX: of that second; Windows: in 100 ns steps, within written_seconds
  bool operator==(const file_stamp&) const = default;
};

// Opens `path` for reading without blocking, whatever it is (a FIFO with no writer included);
// `type` says what it is. 0, or an errno value. Something that cannot be opened as a file at
// all (a socket) gives 0 with `type` other and no handle.
int open_for_reading(const std::string& path, file_handle& file, file_type& type);

// The file's size in bytes.
int file_size(const file_handle& file, std::uint64_t& size);

// Which file `file` is.
int identity_of(const file_handle& file, file_identity& identity);

// Whether `file`, opened by `path`, has no name but the last part of that path: one name (no
// hard link elsewhere), and `path` itself not a symbolic link to it.
bool named_only_by(const file_handle& file, const std::string& path);

// Whether the file names `a` and `b` (single parts, as text) may name one file in one folder:
// on POSIX only when they are the same bytes; on Windows when they are the same but for the case
// of their letters and trailing dots and spaces, and whenever either holds a character beyond
// ASCII (the file system's case table decides) or a '~' (it may be a short 8.3 alias).
bool may_be_one_name(std::string_view a, std::string_view b);

// How many files and folders the process may hold open at once.
std::size_t descriptor_limit();

// Reads `length` bytes at `offset` without moving any shared position, so that several threads
// may read one file at once. Fewer bytes mean the file ended; `got` tells how many came.
int read_at(const file_handle& file, std::uint64_t offset, void* buffer, std::size_t length, std::size_t& got);

// Creates one directory; an existing directory (or anything else) of that name is left alone,
// and opening it tells what it is. 0, or an errno value.
int make_directory(const std::string& path);

// Creates a directory and every missing parent. 0, or an errno value.
int make_directories(const std::string& path);

// What stands at a name in a folder, the name not followed.
enum class standing_kind {
  nothing,  // no such name
  file,     // a regular file
  folder,   // a real folder, not a link to one
  other,    // a symbolic link, junction, FIFO, socket or device
};

struct standing {
  standing_kind kind = standing_kind::nothing;
  file_identity identity;  // of what stands there, the name not followed
  file_stamp stamp;        // of a file: its size and the time it was written
};

class directory;

// A file being written under a temporary name in its folder. Unless it is published, the
// destructor removes it, so that a failed or cut write leaves nothing under any name. The
// folder it was made in must outlive it. Its maker holds a lock on it until it is published or
// removed (POSIX: an open file description lock; Windows: a handle that shares no deletion), so
// that a later run removes only what nobody holds: a killed run's leftovers.
class temporary_file {
 public:
  temporary_file() = default;
  ~temporary_file() { discard(); }
  temporary_file(temporary_file&& other) noexcept;
  temporary_file& operator=(temporary_file&& other) noexcept;

  const file_handle& handle() const { return file_; }
  bool is_open() const { return file_.is_open(); }
  // A second handle on the file, for reading what was written so far, never through a link (so
  // that it can be read back before it is published). 0, or an errno value.
  int open_for_reading(file_handle& file) const;
  // Once every byte is written: 0, or the errno value of a write the system reports only now.
  // A write the system reports only at close fails the publishing.
  int complete();
  // Removes the file now. Nothing happens to a file already published.
  void discard();

 private:
  friend class directory;
  file_handle file_;                   // open, and so locked, until published or removed
  const directory* folder_ = nullptr;  // where it was made
  std::string name_;                   // its temporary name there (POSIX)
};

// A new folder being filled under a temporary name in its parent, then published onto its name
// whole, so that a run killed while filling it leaves nothing under that name, and whatever is
// written inside needs no temporary of its own: nobody else writes there. Its maker holds a lock
// on it, as on a temporary file. Unless published, the destructor removes it and all it holds.
class temporary_folder {
 public:
  temporary_folder();
  ~temporary_folder();
  temporary_folder(temporary_folder&& other) noexcept;
  temporary_folder& operator=(temporary_folder&& other) noexcept;

  bool is_open() const;
  const directory& folder() const { return *folder_; }
  // Removes it and everything in it now. Nothing happens to a folder already published.
  void discard();

 private:
  friend class directory;
  std::unique_ptr<directory> folder_;  // held open, and locked
  const directory* parent_ = nullptr;  // where it was made
  std::string name_;                   // its temporary name there
};

// A folder held open: files and folders are made inside it by name, relative to the handle, so
// that neither the working directory nor a link swapped in on the way can send a write
// elsewhere. The folder itself may be reached through a link when opened by path; nothing
// opened inside it ever is. Names given to it are single parts of a name (no separator), as
// text: bytes on POSIX, UTF-8 on Windows (see name_as_text).
class directory {
 public:
  directory() = default;

  // Opens `path` (command-line text), which must be an existing directory. 0, or an errno value.
  int open(const std::string& path);
  bool is_open() const { return handle_.is_open(); }

  // Opens the folder `part` inside this one, never through a link: ELOOP when a symbolic link,
  // junction or other reparse point stands there, ENOTDIR when anything else but a folder does.
  // With `create`, a missing folder is made first (mode 0777 less the umask), and `made` says
  // whether this call made it. On Windows the folder cannot be renamed away while it is held.
  int open_folder(std::string_view part, bool create, directory& folder, bool* made = nullptr) const;

  // What stands at `part`, not followed. 0, or an errno value.
  int look(std::string_view part, standing& found) const;

  // Which folder this is.
  int identity(file_identity& identity) const;

  // Makes a new, empty file in this folder under a temporary name that no entry name can
  // produce and that later runs recognise, exclusively and never through a link.
  int create_temporary(temporary_file& file) const;

  // Gives the completed temporary file the name `part`, in one step: whatever stands there (a
  // file, a link, a hard link, a FIFO, a device) is replaced, never written through or followed;
  // a folder there fails with EISDIR and the temporary file is removed.
  int publish(temporary_file& file, std::string_view part) const;

  // Makes a new, empty folder here under a temporary name (see temporary_folder). ENOSYS
  // where a folder cannot be published while what it holds is open (Windows).
  int create_temporary_folder(temporary_folder& folder) const;

  // Gives the temporary folder the name `part`, in one step; EEXIST (and the folder kept
  // under its temporary name) when anything stands there already.
  int publish(temporary_folder& folder, std::string_view part) const;

  // Creates the file `part` and writes all `length` bytes into it, for a folder nobody else
  // writes in (inside a temporary folder): EEXIST when anything stands at `part`, and on any
  // failure no file is left; `created` says whether the failure came after the file was made
  // (in writing it). ENOSYS where temporary folders are not made.
  int write_new_file(std::string_view part, const void* data, std::size_t length, bool& created) const;

  // Removes what killed runs left here under temporary names (files, and folders with all
  // they hold): only what no one holds locked, so that a run still writing keeps its own.
  void remove_leftovers() const;

  // Writes the folder's entries (a rename into it) to the disk: fsync; on Windows as far as the
  // folder may be opened for writing (file_state_*.cpp). 0, or an errno value.
  int sync() const;

  struct listed {
    std::string name;  // text, as parts are given (UTF-8 on Windows)
    standing found;    // what stood there when it was listed
  };
  // Everything in this folder but "." and "..", each with what stands there, not followed;
  // temporary files of this tool left out. In no particular order.
  int list(std::vector<listed>& names) const;

  // Opens the regular file `part` for reading, never through a link: ELOOP for a link, EISDIR
  // for a folder, and without blocking; `type` says what was opened, and `opened` (when given)
  // which file it is and its stamp, from the same look at the open file.
  int open_file(std::string_view part, file_handle& file, file_type& type, standing* opened = nullptr) const;

 private:
  friend class temporary_file;
  friend class temporary_folder;
  file_handle handle_;
};

// Writes all `length` bytes at the file's current position. 0, or an errno value.
int write_all(const file_handle& file, const void* data, std::size_t length);

// Writes all `length` bytes at `offset`. Where write_all writes next is then unspecified (a
// positional write moves the file's position on Windows), so a writer ends with these. 0, or an
// errno value.
int write_at(const file_handle& file, std::uint64_t offset, const void* data, std::size_t length);

// A stored entry name as text that name checks can read character by character: the bytes
// themselves on POSIX; on Windows, the ANSI code page's characters in UTF-8, so that no second
// byte of a double-byte character is taken for '\\'. Nothing when the bytes are not valid in
// that code page.
std::optional<std::string> name_as_text(const char* stored);

// The bytes an archive stores for the name `text` (a name as name_as_text gives it): the text
// itself on POSIX; on Windows its ANSI code page bytes. Nothing when that code page cannot
// hold every character of it.
std::optional<std::string> stored_from_text(std::string_view text);

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

// The system's text for an errno value.
std::string error_text(int err);

}  // namespace platform
