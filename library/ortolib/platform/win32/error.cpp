// Windows backend: the per-thread last error and the mapping of Windows errors to stream
// errors (numbered as POSIX errno values).
#include "ortolib/platform/win32/error.h"
#include "ortolib/platform/private/error.h"

#include <windows.h>

namespace pt::platform {
namespace {

thread_local os_error captured_error = 0;

}  // namespace

namespace win32 {

void error_capture() { captured_error = GetLastError(); }

void error_record(os_error error) { captured_error = error; }

}  // namespace win32

os_error last_error() { return captured_error; }

int stream_error_number(os_error error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return 2;
    case ERROR_INVALID_HANDLE: return 9;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return 12;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return 13;
    case ERROR_FILE_EXISTS: return 17;
    case ERROR_INVALID_DRIVE: return 19;
    case ERROR_TOO_MANY_OPEN_FILES: return 24;
    case ERROR_DISK_FULL: return 28;
    case ERROR_SEEK_ON_DEVICE: return 29;
    case ERROR_WRITE_PROTECT: return 30;
    case ERROR_BROKEN_PIPE: return 32;
    default: return 5;
  }
}

}  // namespace pt::platform
