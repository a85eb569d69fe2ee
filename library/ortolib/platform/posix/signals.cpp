// POSIX backend: the signal settings the process was started with, recorded before the library
// changes any, which children get back.
#include "ortolib/platform/posix/signals.h"

#include <csignal>

namespace pt::platform::posix {
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

}  // namespace

const startup_signals& signals_at_startup() {
  static const startup_signals recorded = record_signals();
  return recorded;
}

}  // namespace pt::platform::posix
