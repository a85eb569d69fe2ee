// POSIX backend: process-wide settings the library needs before any stream exists.
#include <csignal>

#include "ortolib/platform/posix/signals.h"
#include "ortolib/platform/private/process_settings.h"

namespace pt::platform {
namespace {

void set_disposition(int signal_number, void (*disposition)(int)) {
  struct sigaction action {};
  action.sa_handler = disposition;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal_number, &action, nullptr);
}

}  // namespace

void process_settings_apply() {
  posix::signals_at_startup();  // before anything changes
  // A write to a pipe without a reader must fail with EPIPE, as it does on Windows, instead of
  // ending the process; so must a write past the file-size limit (RLIMIT_FSIZE) fail with
  // EFBIG, as a write to a full disk fails, instead of ending it by SIGXFSZ.
  set_disposition(SIGPIPE, SIG_IGN);
  set_disposition(SIGXFSZ, SIG_IGN);
  // A caller that ignores SIGCHLD (the setting survives exec) would have every child reaped
  // unseen: waitpid would fail with ECHILD and the child's status would be lost.
  if (posix::signals_at_startup().child_ignored)
    set_disposition(SIGCHLD, SIG_DFL);
}

}  // namespace pt::platform
