// POSIX backend: C streams no child inherits, file identity by device and inode, and the C
// runtime's errno, which is the OS's own error number here.
#include "ortolib/platform/files.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace pt {

std::FILE* c_file_open(const char* path, const char* mode) {
  // Opened close-on-exec ("e", a mode flag of the C library).
  const std::string kept_out = std::string(mode) + "e";
  return std::fopen(path, kept_out.c_str());
}

bool same_file(const char* first, const char* second) {
  struct stat a;
  struct stat b;
  return ::stat(first, &a) == 0 && ::stat(second, &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

std::uint32_t last_c_file_error() { return static_cast<std::uint32_t>(errno); }

}  // namespace pt
