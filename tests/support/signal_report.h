// What the helper child reports of its signal settings, so that tests can compare a child run
// through cmdwrap with one the caller runs directly. The body is chosen by CMake with the
// library's backend; the helper child compiles it in.
#pragma once

#include <string>

namespace pt::test {

// One line: for SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGXFSZ, SIGCHLD and SIGUSR1 in this order,
// "<name>=<ignored|default|handled>" with ",blocked" when the calling thread blocks it,
// separated by spaces, then LF. Empty on Windows, which has no signals.
std::string signal_report();

}  // namespace pt::test
