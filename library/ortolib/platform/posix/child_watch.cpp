// POSIX backend: a run's watch is a wake pipe, poked by child_watch_stop and, for a stand-in,
// when a stop is passed on (stand_in.cpp). The reading thread polls it beside the output pipe;
// once a stop was seen it looks at intervals whether the child has ended, and from then on
// reads for the grace only.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>

#include "ortolib/platform/posix/error.h"
#include "ortolib/platform/posix/stand_in.h"
#include "ortolib/platform/private/child_watch.h"
#include "ortolib/platform/private/process.h"

namespace pt::platform {

using watch_clock = std::chrono::steady_clock;

struct child_watch {
  pid_t pid = 0;
  int wake_read = -1;
  int wake_write = -1;
  bool stand_in = false;  // stops passed on to the child count, and poke the wake pipe
  std::atomic<bool> stop_asked{false};
  // The reading thread's alone.
  bool stopping = false;
  bool ended = false;
  watch_clock::time_point deadline;
};

namespace {

// How often a stopped run looks whether the child has ended.
constexpr int stopping_interval_ms = 50;

void drain(int fd) {
  char bytes[64];
  while (::read(fd, bytes, sizeof bytes) > 0) {
  }
}

// Notes a stop and the child's end; true once the grace after both has passed.
bool grace_over(child_watch& watch) {
  if (!watch.stopping && (watch.stop_asked.load() || (watch.stand_in && posix::stop_requested())))
    watch.stopping = true;
  if (!watch.stopping)
    return false;
  if (!watch.ended && process_ended(watch.pid)) {
    watch.ended = true;
    watch.deadline = watch_clock::now() + std::chrono::milliseconds(stop_grace_milliseconds);
  }
  return watch.ended && watch_clock::now() >= watch.deadline;
}

int poll_timeout(const child_watch& watch) {
  if (watch.ended) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(watch.deadline - watch_clock::now())
            .count();
    return left < 0 ? 0 : static_cast<int>(left + 1);
  }
  return watch.stopping ? stopping_interval_ms : -1;
}

}  // namespace

child_watch* child_watch_open(handle process, bool stand_in) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
    posix::error_capture();
    return nullptr;
  }
  auto* watch = new child_watch;
  watch->pid = static_cast<pid_t>(process);
  watch->wake_read = ends[0];
  watch->wake_write = ends[1];
  watch->stand_in = stand_in && posix::forwarding_to(watch->pid);
  if (watch->stand_in)
    posix::forwarding_wake(watch->wake_write);
  return watch;
}

void child_watch_stop(child_watch* watch) {
  watch->stop_asked.store(true);
  (void)!::write(watch->wake_write, "", 1);  // a full pipe already wakes the reader
}

output_wait child_watch_wait(child_watch* watch, handle pipe) {
  for (;;) {
    if (grace_over(*watch))
      return output_wait::given_up;
    pollfd watched[2] = {{static_cast<int>(pipe), POLLIN, 0}, {watch->wake_read, POLLIN, 0}};
    if (::poll(watched, 2, poll_timeout(*watch)) < 0) {
      if (errno == EINTR)
        continue;
      return output_wait::ready;  // the read reports what is wrong
    }
    if (watched[1].revents != 0)
      drain(watch->wake_read);
    if (watched[0].revents != 0 && !grace_over(*watch))
      return output_wait::ready;
  }
}

bool child_watch_gave_up(child_watch* /*watch*/) { return false; }

void child_watch_close(child_watch* watch) {
  if (watch == nullptr)
    return;
  if (watch->stand_in)
    posix::forwarding_wake(-1);
  ::close(watch->wake_read);
  ::close(watch->wake_write);
  delete watch;
}

}  // namespace pt::platform
