// POSIX backend: C streams no child inherits, file identity by device and inode, and the C
// runtime's errno, which is the OS's own error number here. Paths are bytes in any encoding.
#include "ortolib/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace pt {

std::FILE* c_file_open(const char* path, const char* mode, text_encoding /*encoding*/) {
  // Opened close-on-exec ("e", a mode flag of the C library).
  const std::string kept_out = std::string(mode) + "e";
  return std::fopen(path, kept_out.c_str());
}

std::FILE* c_file_rewrite(const char* path, text_encoding /*encoding*/) {
  // Without a reader, a non-blocking open of a FIFO fails with ENXIO instead of waiting. The
  // flag is taken off again at once: writes are to wait as fopen's would.
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0)
    return nullptr;
  const int flags = ::fcntl(fd, F_GETFL);
  std::FILE* file = flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0 ? nullptr
                                                                               : ::fdopen(fd, "wb");
  if (file == nullptr) {
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  return file;
}

bool c_file_truncate_here(std::FILE* file) {
  if (std::fflush(file) != 0)
    return false;
  const int fd = ::fileno(file);
  struct stat status;
  if (::fstat(fd, &status) != 0)
    return false;
  if (!S_ISREG(status.st_mode))
    return true;  // a pipe or a device has no length of its own
  const off_t position = ::ftello(file);
  return position >= 0 && ::ftruncate(fd, position) == 0;
}

bool same_file(const char* first, const char* second, text_encoding /*encoding*/) {
  struct stat a;
  struct stat b;
  return ::stat(first, &a) == 0 && ::stat(second, &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

std::uint32_t last_c_file_error() { return static_cast<std::uint32_t>(errno); }

}  // namespace pt
