// C streams (std::FILE) that no child process inherits, for programs that read and write their
// own files through the C library while they start children.
#pragma once

#include <cstdio>

namespace pt::platform {

// std::fopen(path, mode) with the C library's flag that keeps the file out of child processes
// added to mode (close-on-exec on POSIX, "e"; not inheritable on Windows, "N"), so that a child
// can neither write into the file nor, on Windows, keep it open (and so undeletable) after the
// program has closed it. mode is what fopen takes ("rb", "wb", ...). Null on failure, errno
// set, as fopen.
std::FILE* c_file_open(const char* path, const char* mode);

}  // namespace pt::platform
