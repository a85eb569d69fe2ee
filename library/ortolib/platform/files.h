// What a program may ask the OS about files besides the streams: C streams that no child
// inherits, whether two paths lead to one file, and the OS error behind a failed file call of
// the C runtime. Backends: files.cpp.
//
// Each path is read in its encoding (text_encoding.h): on Windows a UTF-8 path reaches any
// file, also one whose name holds characters the ANSI code page lacks; on POSIX a path is its
// bytes, whatever the encoding.
#pragma once

#include "ortolib/config.h"

#include <cstdint>
#include <cstdio>

#include "ortolib/platform/text_encoding.h"

namespace pt {

// std::fopen(path, mode) with the C library's flag that keeps the file out of child processes
// added to mode (close-on-exec on POSIX, "e"; not inheritable on Windows, "N"), so that a child
// can neither write into the file nor, on Windows, keep it open (and so undeletable) after the
// program has closed it. mode is what fopen takes ("rb", "wb", ...). Null on failure, with the
// error for last_c_file_error, as fopen. On Windows a path whose full form reaches MAX_PATH
// (260 characters) is opened in its \\?\ form, so that it opens without a longPathAware
// manifest, as a shorter one does.
std::FILE* c_file_open(const char* path, const char* mode,
                       text_encoding encoding = text_encoding::ansi);

// c_file_open(path, "wb"), creating the file or cutting it to zero length, except that it
// never waits for a reader: on POSIX a FIFO that no process has open for reading fails at once
// (ENXIO), where fopen would block until one came, for ever if none does. Once open, writes
// block as usual. (Windows opens a pipe by name without waiting.)
std::FILE* c_file_rewrite(const char* path, text_encoding encoding = text_encoding::ansi);

// Cuts the file behind file at the stream's position, after flushing it, so that the file
// ends with what was written there: bytes that another writer put further on are gone. What
// has no length to cut (a pipe, a device) is left alone. False on failure, with the error for
// last_c_file_error.
bool c_file_truncate_here(std::FILE* file);

// True when both paths can be queried and lead to the same file, whatever the paths or links
// on the way: the same device and inode on POSIX, the same volume serial number and file
// index on Windows (also for paths of MAX_PATH characters or more). False when either cannot
// be queried, so a missing file is never the same as another. Symbolic links are followed.
bool same_file(const char* first, const char* second, text_encoding encoding = text_encoding::ansi);

// The OS error number behind the C runtime's last failed file call on this thread (fopen,
// fread, fwrite, fflush, fclose): errno on POSIX; on Windows the system error code that the
// runtime kept with its errno (_doserrno, the number GetLastError gave), or errno itself when
// it kept none. Read it right after the failing call.
std::uint32_t last_c_file_error();

}  // namespace pt
