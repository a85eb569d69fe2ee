// Private to the library (not installed): files and the calls on any handle that reads or
// writes bytes (files, pipes, the standard handles). Backend: handle_io.cpp.
#pragma once

#include <cstdint>

#include "ortolib/platform/text_encoding.h"
#include "ortolib/platform/types.h"

namespace pt::platform {

enum class file_access {
  read,            // existing file, for reading
  write_truncate,  // created or truncated, for writing
  write_append,    // created if missing, kept otherwise, for writing
};

// Opens a file. No child process inherits the handle (close-on-exec on POSIX, not inheritable
// on Windows); other processes may read and write the file while it is open (but not delete
// it, where the OS can refuse that).
// Returns no_handle on failure.
handle file_open(const char* path, file_access access);

// Reads up to count bytes. Returns the number read (0 at the end of a file, and on POSIX at
// the end of a pipe), or -1 on failure. Interrupted calls are retried.
std::int32_t handle_read(handle h, void* buffer, std::int32_t count);

// Writes all count bytes, looping over partial and interrupted writes the way WriteFile on a
// blocking handle does. Returns count, or -1 on failure (also when part was written). A pipe
// without a reader fails with the broken-pipe error instead of killing the process.
std::int32_t handle_write(handle h, const void* buffer, std::int32_t count);

// Moves the file pointer: origin 0 from the start, 1 from the current position, 2 from the
// end. Returns the new position, or -1 on failure.
std::int64_t handle_seek(handle h, std::int64_t offset, int origin);

// Asks the OS to write its buffers for the handle to the device. The result is not reported.
void handle_flush(handle h);

// Closes a handle. Returns false on failure (closing no_handle fails harmlessly).
bool handle_close(handle h);

// True when the file-status query on path, a text of that encoding, succeeds; directories
// count as existing.
bool file_exists(const char* path, text_encoding encoding = text_encoding::ansi);

// True when path, a text of that encoding, names a directory (or a link to one).
bool directory_exists(const char* path, text_encoding encoding = text_encoding::ansi);

}  // namespace pt::platform
