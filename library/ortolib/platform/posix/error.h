// POSIX backend, private: how a failing call records its error for last_error().
// Only the files of this backend include it.
#pragma once

#include "ortolib/platform/private/error.h"

namespace pt::platform::posix {

// Stores errno as the calling thread's last error. Call it right after the failing call,
// before anything else (a cleanup close, an allocation) can change errno.
void error_capture();

// Stores a given error number: for calls that return their error instead of setting errno
// (posix_spawn, pthread_create) and for failures this backend decides itself.
void error_record(os_error error);

}  // namespace pt::platform::posix
