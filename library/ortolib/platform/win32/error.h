// Windows backend, private: how a failing call records its error for last_error().
// Only the files of this backend include it.
#pragma once

#include "ortolib/platform/private/error.h"

namespace pt::platform::win32 {

// Stores GetLastError() as the calling thread's last error. Call it right after the failing
// call, before a cleanup call (CloseHandle and the like) can change it.
void error_capture();

// Stores a given error number, for failures this backend decides itself.
void error_record(os_error error);

}  // namespace pt::platform::win32
