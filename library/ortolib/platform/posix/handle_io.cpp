// POSIX backend: files and the handle operations shared by files and pipes, with the
// blocking, whole-count behaviour that ReadFile and WriteFile have on Windows.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "ortolib/platform/posix/error.h"
#include "ortolib/platform/private/handle_io.h"

namespace pt::platform {
namespace {

using posix::error_capture;
using posix::error_record;

// The descriptor behind a handle; -1 (with EBADF recorded) for a value that is none.
int descriptor(handle h) {
  if (h < 0 || h > INT_MAX) {
    error_record(EBADF);
    return -1;
  }
  return static_cast<int>(h);
}

// Waits until a descriptor inherited in non-blocking mode is ready, so that reads and writes
// still block as they do on Windows. False (error captured) when waiting fails.
bool wait_until_ready(int fd, short events) {
  pollfd watched{fd, events, 0};
  while (::poll(&watched, 1, -1) < 0) {
    if (errno != EINTR) {
      error_capture();
      return false;
    }
  }
  return true;
}

bool is_retryable(int error) { return error == EINTR || error == EAGAIN || error == EWOULDBLOCK; }

// After a read or write that failed with errno set: true to try again (interrupted, or a
// non-blocking descriptor ready again for the events); false with the error recorded.
bool ready_to_retry(int fd, short events) {
  int error = errno;
  if (!is_retryable(error)) {
    error_capture();
    return false;
  }
  return error == EINTR || wait_until_ready(fd, events);
}

}  // namespace

handle file_open(const char* path, file_access access) {
  // Close-on-exec from the start: no child inherits a file the library opened for itself.
  int flags = O_RDONLY | O_CLOEXEC;
  if (access == file_access::write_truncate)
    flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
  else if (access == file_access::write_append)
    flags = O_WRONLY | O_CREAT | O_CLOEXEC;  // the caller moves to the end itself
  int fd;
  do {
    fd = ::open(path, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    // Windows refuses to open a directory as a file with "access denied"; so do we.
    error_capture();
    if (errno == EISDIR)
      error_record(EACCES);
    return no_handle;
  }
  struct stat status;
  if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
    ::close(fd);
    error_record(EACCES);
    return no_handle;
  }
  return fd;
}

std::int32_t handle_read(handle h, void* buffer, std::int32_t count) {
  int fd = descriptor(h);
  if (fd < 0)
    return -1;
  if (count < 0) {
    error_record(EINVAL);
    return -1;
  }
  for (;;) {
    ssize_t got = ::read(fd, buffer, static_cast<std::size_t>(count));
    if (got >= 0)
      return static_cast<std::int32_t>(got);
    if (!ready_to_retry(fd, POLLIN))
      return -1;
  }
}

std::int32_t handle_write(handle h, const void* buffer, std::int32_t count) {
  int fd = descriptor(h);
  if (fd < 0)
    return -1;
  if (count < 0) {
    error_record(EINVAL);
    return -1;
  }
  const char* next = static_cast<const char*>(buffer);
  std::size_t left = static_cast<std::size_t>(count);
  while (left > 0) {
    ssize_t written = ::write(fd, next, left);
    if (written > 0) {
      next += written;
      left -= static_cast<std::size_t>(written);
      continue;
    }
    if (written == 0) {  // no progress and no reason given: give up rather than spin
      error_record(EIO);
      return -1;
    }
    if (!ready_to_retry(fd, POLLOUT))
      return -1;
  }
  return count;
}

std::int64_t handle_seek(handle h, std::int64_t offset, int origin) {
  int fd = descriptor(h);
  if (fd < 0)
    return -1;
  static constexpr int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (origin < 0 || origin > 2) {
    error_record(EINVAL);
    return -1;
  }
  off_t position = ::lseek(fd, static_cast<off_t>(offset), whence[origin]);
  if (position < 0) {
    error_capture();
    return -1;
  }
  return static_cast<std::int64_t>(position);
}

void handle_flush(handle h) {
  int fd = descriptor(h);
  if (fd >= 0)
    ::fsync(fd);  // pipes and terminals refuse; nobody is told, as on Windows
}

bool handle_close(handle h) {
  int fd = descriptor(h);
  if (fd < 0)
    return false;
  // Linux frees the descriptor even when close is interrupted: retrying could close another.
  if (::close(fd) != 0 && errno != EINTR) {
    error_capture();
    return false;
  }
  return true;
}

bool file_exists(const char* path, text_encoding /*encoding*/) {
  struct stat status;
  if (::stat(path, &status) != 0) {
    error_capture();
    return false;
  }
  return true;
}

bool directory_exists(const char* path, text_encoding /*encoding*/) {
  struct stat status;
  return ::stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace pt::platform
