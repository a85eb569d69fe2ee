// Private to the library (not installed): process-wide settings made once at start-up.
// Backend: startup.cpp.
#pragma once

namespace pt::platform {

// Prepares the process for the library; run once at start-up, before any stream exists.
// POSIX: ignores SIGPIPE and SIGXFSZ, so a write to a pipe without a reader, or past the
// file-size limit, is an error number (EPIPE, EFBIG) instead of the end of the process
// (children get the default dispositions back). Windows: nothing.
void process_startup();

}  // namespace pt::platform
