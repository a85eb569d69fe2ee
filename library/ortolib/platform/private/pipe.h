// Private to the library (not installed): anonymous pipes. Backend: pipe.cpp.
#pragma once

#include "ortolib/platform/types.h"

namespace pt::platform {

// Creates an anonymous blocking pipe. No child process inherits its ends, except the one it is
// given as a standard handle (process_start). False on failure.
bool pipe_create(handle& read_end, handle& write_end);

}  // namespace pt::platform
