// Windows backend: duplicates of the process's standard handles for the library's own use, not
// inheritable (a child given one gets its own duplicate, process_start).
#include <windows.h>

#include "ortolib/platform/private/std_handles.h"
#include "ortolib/platform/win32/error.h"

namespace pt::platform {

handle std_handle_duplicate(std_handle_id which) {
  DWORD id = which == std_handle_id::input    ? STD_INPUT_HANDLE
             : which == std_handle_id::output ? STD_OUTPUT_HANDLE
                                              : STD_ERROR_HANDLE;
  HANDLE standard = GetStdHandle(id);
  // A process started without the handle has null here, and a failed query gives
  // INVALID_HANDLE_VALUE, which as a handle means the process itself: neither is duplicated.
  if (standard == nullptr || standard == INVALID_HANDLE_VALUE) {
    win32::error_record(ERROR_INVALID_HANDLE);
    return unusable_handle;
  }
  HANDLE duplicate = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), standard, GetCurrentProcess(), &duplicate, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    win32::error_capture();
    return unusable_handle;
  }
  return reinterpret_cast<handle>(duplicate);
}

}  // namespace pt::platform

// The null handle: every use of it fails with ERROR_INVALID_HANDLE.
const pt::handle pt::unusable_handle = 0;
