// POSIX backend: anonymous pipes, close-on-exec from the moment they exist, so that no child
// holds an end it was not given (process_start places the ends a child is given).
#include <fcntl.h>
#include <unistd.h>

#include "ortolib/platform/posix/error.h"
#include "ortolib/platform/private/pipe.h"

namespace pt::platform {

bool pipe_create(handle& read_end, handle& write_end) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    posix::error_capture();
    return false;
  }
  // Linux pipes hold 64 KiB unless told otherwise; the bigger pipe is asked for, not required
  // (a user's pipes share a ceiling of pages, and /proc/sys/fs/pipe-max-size caps one pipe).
  (void)::fcntl(ends[1], F_SETPIPE_SZ, pipe_capacity);
  read_end = ends[0];
  write_end = ends[1];
  return true;
}

}  // namespace pt::platform
