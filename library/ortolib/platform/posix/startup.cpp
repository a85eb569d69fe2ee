// POSIX backend: process-wide settings the library needs before any stream exists.
#include <csignal>

#include "ortolib/platform/private/startup.h"

namespace pt::platform {

void process_startup() {
  // A write to a pipe without a reader must fail with EPIPE, as it does on Windows, instead of
  // ending the process; so must a write past the file-size limit (RLIMIT_FSIZE) fail with
  // EFBIG, as a write to a full disk fails, instead of ending it by SIGXFSZ. Children get the
  // default dispositions back (process_start).
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, nullptr);
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

}  // namespace pt::platform
