// POSIX backend: process-wide settings the library needs before any stream exists, and the
// signal settings found at start-up, which children get back.
#include <csignal>

#include "ortolib/platform/posix/signals.h"
#include "ortolib/platform/private/process_settings.h"

namespace pt::platform {
namespace posix {
namespace {

bool is_ignored(int signal_number) {
  struct sigaction current {};
  return ::sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

startup_signals record_signals() {
  startup_signals found;
  found.pipe_ignored = is_ignored(SIGPIPE);
  found.file_size_ignored = is_ignored(SIGXFSZ);
  found.child_ignored = is_ignored(SIGCHLD);
  sigemptyset(&found.mask);
  ::pthread_sigmask(SIG_BLOCK, nullptr, &found.mask);
  return found;
}

void set_disposition(int signal_number, void (*disposition)(int)) {
  struct sigaction action {};
  action.sa_handler = disposition;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal_number, &action, nullptr);
}

}  // namespace

const startup_signals& signals_at_startup() {
  static const startup_signals recorded = record_signals();
  return recorded;
}

}  // namespace posix

void process_settings_apply() {
  posix::signals_at_startup();  // before anything changes
  // A write to a pipe without a reader must fail with EPIPE, as it does on Windows, instead of
  // ending the process; so must a write past the file-size limit (RLIMIT_FSIZE) fail with
  // EFBIG, as a write to a full disk fails, instead of ending it by SIGXFSZ.
  posix::set_disposition(SIGPIPE, SIG_IGN);
  posix::set_disposition(SIGXFSZ, SIG_IGN);
  // A caller that ignores SIGCHLD (the setting survives exec) would have every child reaped
  // unseen: waitpid would fail with ECHILD and the child's status would be lost.
  if (posix::signals_at_startup().child_ignored)
    posix::set_disposition(SIGCHLD, SIG_DFL);
}

}  // namespace pt::platform
