// POSIX backend: process-wide settings the library needs before any stream exists.
#include <csignal>

#include "platform/platform.h"

namespace pt::platform {

void process_startup() {
  // A write to a pipe without a reader must fail with EPIPE, as it does on Windows, instead of
  // ending the process. Children get the default disposition back (process_start).
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace pt::platform
