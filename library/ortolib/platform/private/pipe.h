// Private to the library (not installed): anonymous pipes. Backend: pipe.cpp.
#pragma once

#include "ortolib/platform/types.h"

namespace pt::platform {

// Creates an anonymous blocking pipe whose two ends are inheritable. False on failure.
bool pipe_create(handle& read_end, handle& write_end);

}  // namespace pt::platform
