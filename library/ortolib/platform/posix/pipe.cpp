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
  // Left at Linux's 64 KiB: a bigger pipe measured no faster here, and the pages of every pipe
  // a user has asked to grow count against one per-user ceiling
  // (/proc/sys/fs/pipe-user-pages-soft), past which each new pipe of that user, in any
  // program, gets only two pages.
  read_end = ends[0];
  write_end = ends[1];
  return true;
}

}  // namespace pt::platform
