// POSIX: inheritance through close-on-exec, a pipe's writers seen by poll, SIGKILL.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>

#include <cerrno>

#include "support/handle_probes.h"

namespace pt::test {

void make_inheritable(platform::handle h) {
  const int fd = static_cast<int>(h);
  ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) & ~FD_CLOEXEC);
}

bool pipe_has_writer(platform::handle read_end) {
  pollfd watched{static_cast<int>(read_end), POLLIN, 0};
  return ::poll(&watched, 1, 0) >= 0 && (watched.revents & POLLHUP) == 0;
}

void process_kill(platform::handle process) { ::kill(static_cast<pid_t>(process), SIGKILL); }

bool process_gone(std::uint32_t process_id) {
  return ::kill(static_cast<pid_t>(process_id), 0) != 0 && errno == ESRCH;
}

}  // namespace pt::test
