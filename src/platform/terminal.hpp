#pragma once

// Standard output and error as a person at a terminal sees them, or as raw bytes for a program
// that reads them: whether a stream is a terminal (a console on Windows), how wide it is, one
// status line redrawn in place on it, and standard output in binary mode. Each query is a
// system call (under Wine a round trip to its server): ask once and keep the answer.

#include <cstdio>
#include <string_view>

#include "platform/platform.hpp"

namespace platform {

// Whether `stream` is a terminal: on Windows, the console that text_stream_for found.
bool is_terminal(const text_stream& stream);

// How many columns the terminal behind `stream` shows, or 0 when it cannot tell.
unsigned terminal_columns(const text_stream& stream);

// Replaces the line the cursor is on with `text` (ASCII, shorter than the terminal is wide),
// leaving the cursor after it: "\r", the text and "ESC [K" on a terminal, the console API on
// Windows. 0, or an errno value.
int show_status_line(const text_stream& stream, std::string_view text);

// Blanks the line the cursor is on and puts the cursor at its start. 0, or an errno value.
int clear_status_line(const text_stream& stream);

// The errno value for a write to a stream that has just failed: errno, or EIO when it is 0. A
// pipe whose reader has gone is EPIPE on Windows too, where the C runtime calls it EINVAL.
int failed_write_error();

// Writes `length` bytes to `stream` as they are, after anything it buffers. 0, or an errno value
// (EPIPE for a pipe whose reader has gone). On Windows straight to the stream's handle, so that
// the C runtime changes no byte and keeps no error of its own.
int write_bytes(std::FILE* stream, const void* data, std::size_t length);

// Makes `stream` pass bytes as they are: on Windows no "\r" before each "\n" and no end at
// Ctrl-Z; elsewhere streams already do.
void use_binary_output(std::FILE* stream);

}  // namespace platform
