// Windows backend: anonymous pipes whose ends no child inherits unless given one as a standard
// handle (process_start passes a duplicate).
#include <windows.h>

#include "ortolib/platform/private/pipe.h"
#include "ortolib/platform/win32/error.h"

namespace pt::platform {

bool pipe_create(handle& read_end, handle& write_end) {
  SECURITY_ATTRIBUTES own{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  HANDLE reader = nullptr, writer = nullptr;
  // The system's default pipe (size 0) holds 4 KiB: a child writing much would stop at every
  // 4 KiB until the reader had taken them. The size asked for is a suggestion to the system.
  if (!CreatePipe(&reader, &writer, &own, pipe_capacity)) {
    win32::error_capture();
    return false;
  }
  read_end = reinterpret_cast<handle>(reader);
  write_end = reinterpret_cast<handle>(writer);
  return true;
}

}  // namespace pt::platform
