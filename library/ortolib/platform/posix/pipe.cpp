// POSIX backend: anonymous pipes whose ends children inherit, as CreatePipe's do on Windows.
#include <unistd.h>

#include "ortolib/platform/posix/error.h"
#include "ortolib/platform/private/pipe.h"

namespace pt::platform {

bool pipe_create(handle& read_end, handle& write_end) {
  int ends[2];
  if (::pipe(ends) != 0) {  // no close-on-exec: both ends are inheritable
    posix::error_capture();
    return false;
  }
  read_end = ends[0];
  write_end = ends[1];
  return true;
}

}  // namespace pt::platform
