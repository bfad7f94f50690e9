#pragma once

// Owning handles for C runtime streams, so that every path out of a function closes its files.

#include <cstdio>
#include <memory>
#include <string>

namespace darvex {

struct file_closer {
  void operator()(std::FILE* stream) const noexcept { std::fclose(stream); }
};

using file_stream = std::unique_ptr<std::FILE, file_closer>;

inline file_stream open_file(const char* path, const char* mode) {
  return file_stream(std::fopen(path, mode));
}

// Closes a stream that was written to; false when buffered bytes could not reach the file.
inline bool close_written(file_stream& stream) { return std::fclose(stream.release()) == 0; }

// A path as messages show it: in double quotes.
std::string quoted(const std::string& path);

// "<action>: <the system's text for err>", the reason given for a failed runtime call.
std::string system_reason(const char* action, int err);

}  // namespace darvex
