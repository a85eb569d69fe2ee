// Private to the library (not installed): process-wide settings made once at start-up.
// Backend: process_settings.cpp.
#pragma once

namespace pt::platform {

// Prepares the process for the library; run once at start-up, before any stream exists.
// POSIX: ignores SIGPIPE and SIGXFSZ, so a write to a pipe without a reader, or past the
// file-size limit, is an error number (EPIPE, EFBIG) instead of the end of the process, and
// gives an ignored SIGCHLD its default back, so that a child's status can be waited for.
// Children get these three back as the process found them (process_start). Windows: nothing.
void process_settings_apply();

}  // namespace pt::platform
