// POSIX backend, private: the signal settings the process was started with, for the children
// it starts. Only the files of this backend include it. Body: signals.cpp.
#pragma once

#include <signal.h>

namespace pt::platform::posix {

// What the process's start-up changes for itself (SIGPIPE and SIGXFSZ ignored, SIGCHLD at its
// default), as it found them, and the signal mask it was started with. A child gets these
// back, so that it runs under the caller's settings as if the caller had started it.
struct startup_signals {
  bool pipe_ignored = false;
  bool file_size_ignored = false;
  bool child_ignored = false;
  sigset_t mask;
};

// Recorded once, at the first call (process_settings_apply makes it, before it changes anything).
const startup_signals& signals_at_startup();

}  // namespace pt::platform::posix
