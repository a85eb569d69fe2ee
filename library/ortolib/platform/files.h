// What a program may ask the OS about files besides the streams: C streams that no child
// inherits, whether two paths lead to one file, and the OS error behind a failed file call of
// the C runtime. Backends: files.cpp.
#pragma once

#include "ortolib/config.h"

#include <cstdint>
#include <cstdio>

namespace pt {

// std::fopen(path, mode) with the C library's flag that keeps the file out of child processes
// added to mode (close-on-exec on POSIX, "e"; not inheritable on Windows, "N"), so that a child
// can neither write into the file nor, on Windows, keep it open (and so undeletable) after the
// program has closed it. mode is what fopen takes ("rb", "wb", ...). Null on failure, with the
// error for last_c_file_error, as fopen.
std::FILE* c_file_open(const char* path, const char* mode);

// True when both paths can be queried and lead to the same file, whatever the paths or links
// on the way: the same device and inode on POSIX, the same volume serial number and file
// index on Windows (also for paths of MAX_PATH characters or more). False when either cannot
// be queried, so a missing file is never the same as another. Symbolic links are followed.
bool same_file(const char* first, const char* second);

// The OS error number behind the C runtime's last failed file call on this thread (fopen,
// fread, fwrite, fflush, fclose): errno on POSIX; on Windows the system error code that the
// runtime kept with its errno (_doserrno, the number GetLastError gave), or errno itself when
// it kept none. Read it right after the failing call.
std::uint32_t last_c_file_error();

}  // namespace pt
