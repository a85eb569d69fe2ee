// Windows backend: the per-thread last error and the mapping of Windows errors to stream
// errors (numbered as POSIX errno values).
#include "ortolib/platform/win32/error.h"
#include "ortolib/platform/private/error.h"

#include <windows.h>

#include "ortolib/platform/error_numbers.h"

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
    case ERROR_PATH_NOT_FOUND: return error_no_such_file;
    case ERROR_INVALID_HANDLE: return error_bad_descriptor;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return error_out_of_memory;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return error_access_denied;
    case ERROR_FILE_EXISTS: return error_file_exists;
    case ERROR_INVALID_DRIVE: return error_no_such_device;
    case ERROR_TOO_MANY_OPEN_FILES: return error_too_many_open_files;
    case ERROR_DISK_FULL: return error_disk_full;
    case ERROR_SEEK_ON_DEVICE: return error_cannot_seek;
    case ERROR_WRITE_PROTECT: return error_read_only;
    case ERROR_BROKEN_PIPE: return error_broken_pipe;
    default: return error_io;
  }
}

}  // namespace pt::platform
