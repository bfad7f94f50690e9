#pragma once

// What a file whose index does not load seems to be, in plain words: another kind of archive or
// compressed file (by its first bytes), text, a file too short for the header or whose index
// offset points into it, or an archive cut short. Asked only once loading has failed, since an
// archive of this kind may hold any bytes at all in its header.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "format/archive.hpp"

namespace darvex {

// How much of the start of a file the guess reads: enough for a tar header's magic at 257.
inline constexpr std::size_t FILE_HEAD_SIZE = 512;

// Why a file that starts with `head` (its first FILE_HEAD_SIZE bytes, or all of a shorter file)
// and is `file_size` bytes long is plainly no archive of this kind, or is one cut short; nothing
// when it may be an archive of this kind whose index is damaged.
std::optional<std::string> not_an_archive_reason(std::string_view head, std::uint64_t file_size);

// `failure`, met while loading the index of `archive`, with its reason in plain words when the
// start of the file tells more; nothing when it does not, or when the failure is no index's.
maybe_problem plain_load_failure(const archive_file& archive, const problem& failure);

}  // namespace darvex
