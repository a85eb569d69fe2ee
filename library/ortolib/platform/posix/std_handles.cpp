// POSIX backend: duplicates of the standard descriptors for the library's own use, kept clear of
// 0, 1 and 2 and out of children (close-on-exec).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "ortolib/platform/posix/error.h"
#include "ortolib/platform/private/std_handles.h"

namespace pt::platform {

namespace {

// Puts /dev/null on a closed standard descriptor, so that the next open or pipe cannot take
// its number and be written to by anything that still means standard output.
void fill_closed_descriptor(int fd) {
  int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
  if (opened >= 0 && opened != fd) {
    ::dup2(opened, fd);
    ::close(opened);
  }
}

}  // namespace

handle std_handle_duplicate(std_handle_id which) {
  int fd = which == std_handle_id::input    ? STDIN_FILENO
           : which == std_handle_id::output ? STDOUT_FILENO
                                            : STDERR_FILENO;
  // The lowest free number from 3 up, close-on-exec: a child given a standard stream gets it
  // as its own 0, 1 or 2 (process_start), never this copy as well.
  int duplicate = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (duplicate >= 0)
    return duplicate;
  posix::error_capture();
  if (errno == EBADF)
    fill_closed_descriptor(fd);
  // No number left for a copy (a low RLIMIT_NOFILE): the stream uses the standard descriptor
  // itself, so that standard error can still tell why the process fails.
  else if (errno == EMFILE)
    return fd;
  return unusable_handle;
}

}  // namespace pt::platform

// Negative, so never a descriptor, and not no_handle, so the streams still try (and fail) to
// use it: a stream on it reports "Invalid file descriptor" as one on Windows' null handle does.
const pt::handle pt::unusable_handle = -2;
