// POSIX: the dispositions and the mask of the signals a caller commonly changes.
#include <signal.h>

#include "support/signal_report.h"

namespace pt::test {

std::string signal_report() {
  struct named {
    int number;
    const char* name;
  };
  static constexpr named signals[] = {{SIGHUP, "HUP"},   {SIGINT, "INT"},   {SIGQUIT, "QUIT"},
                                      {SIGPIPE, "PIPE"}, {SIGXFSZ, "XFSZ"}, {SIGCHLD, "CHLD"},
                                      {SIGUSR1, "USR1"}};
  sigset_t mask;
  sigemptyset(&mask);
  ::pthread_sigmask(SIG_BLOCK, nullptr, &mask);
  std::string report;
  for (const named& signal : signals) {
    struct sigaction current {};
    ::sigaction(signal.number, nullptr, &current);
    report += report.empty() ? "" : " ";
    report += signal.name;
    report += current.sa_handler == SIG_IGN   ? "=ignored"
              : current.sa_handler == SIG_DFL ? "=default"
                                              : "=handled";
    if (sigismember(&mask, signal.number) == 1)
      report += ",blocked";
  }
  return report + "\n";
}

}  // namespace pt::test
