// Private to the library (not installed): anonymous pipes. Backend: pipe.cpp.
#pragma once

#include "ortolib/platform/types.h"

namespace pt::platform {

// Creates an anonymous blocking pipe. It holds pipe_capacity bytes on Windows, whose default
// pipe holds 4 KiB (a writer blocks only once that much waits unread), and the OS's default of
// 64 KiB on Linux. No child process inherits its ends, except the one it is given as a
// standard handle (process_start). False on failure.
inline constexpr int pipe_capacity = 1 << 20;
bool pipe_create(handle& read_end, handle& write_end);

}  // namespace pt::platform
