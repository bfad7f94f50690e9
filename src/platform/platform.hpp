#pragma once

// The few runtime calls that differ between the POSIX and the Windows runtime: creating and
// entering a directory, and seeking with 64-bit positions. Archives reach 4 GiB, and `long`
// (what plain fseek/ftell take) is 32-bit on Windows, even on 64-bit Windows.

#include <cstdint>
#include <cstdio>
#include <optional>

namespace platform {

// Creates the directory `path`; an existing directory of that name is left alone.
// Returns 0, or the errno value that explains the failure.
int make_directory(const char* path);

// Makes `path` the process's working directory. Returns 0, or an errno value.
int change_directory(const char* path);

// Positions `stream` at the absolute byte offset `offset`.
bool seek_to(std::FILE* stream, std::uint64_t offset);

// The stream's length in bytes, found by seeking to its end (the position is left there).
std::optional<std::uint64_t> stream_size(std::FILE* stream);

}  // namespace platform
