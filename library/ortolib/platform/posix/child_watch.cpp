// POSIX backend: a run's watch is a wake pipe, poked by child_watch_stop and child_watch_abandon
// and, for a stand-in, when a stop is passed on (stand_in.cpp). Each reading thread polls it
// beside its output pipe; once a stop was seen it polls its pipe alone at intervals, looking
// whether the child has ended, and from then on reads for the grace only. The pipe is never
// drained: a poke wakes every reader, and each looks at the state the watch shares.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>

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
  std::atomic<bool> abandoned{false};
  // When the child was first seen ended after a stop (the clock's count); 0 until then.
  std::atomic<watch_clock::rep> ended_at{0};
};

namespace {

// How often a stopped run looks whether the child has ended.
constexpr int stopping_interval_ms = 50;
constexpr auto grace = std::chrono::milliseconds(stop_grace_milliseconds);

bool stopping(const child_watch& watch) {
  return watch.stop_asked.load() || (watch.stand_in && posix::stop_requested());
}

// The time left of the grace, once the child has ended after a stop; notes the end.
bool grace_left(child_watch& watch, watch_clock::duration& left) {
  watch_clock::rep ended = watch.ended_at.load();
  if (ended == 0) {
    if (!process_ended(watch.pid))
      return false;
    watch_clock::rep now = watch_clock::now().time_since_epoch().count();
    watch.ended_at.compare_exchange_strong(ended, now);  // the first reader to see it sets it
    ended = watch.ended_at.load();
  }
  left = watch_clock::time_point(watch_clock::duration(ended)) + grace - watch_clock::now();
  return true;
}

// How long a reader may wait now: -1 without a stop; else until the next look for the child's
// end, or the end of the grace. given_up when the reads are to end.
bool next_timeout(child_watch& watch, int& timeout) {
  timeout = -1;
  if (watch.abandoned.load())
    return false;
  if (!stopping(watch))
    return true;
  watch_clock::duration left{};
  if (!grace_left(watch, left)) {
    timeout = stopping_interval_ms;
    return true;
  }
  if (left <= watch_clock::duration::zero())
    return false;
  timeout = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
  return true;
}

void poke(const child_watch& watch) { (void)!::write(watch.wake_write, "", 1); }

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

void child_watch_join(child_watch* /*watch*/) {}

void child_watch_stop(child_watch* watch) {
  watch->stop_asked.store(true);
  poke(*watch);  // a full pipe already wakes the readers
}

void child_watch_abandon(child_watch* watch) {
  watch->abandoned.store(true);
  poke(*watch);
}

output_wait child_watch_wait(child_watch* watch, handle pipe) {
  for (;;) {
    int timeout = -1;
    if (!next_timeout(*watch, timeout))
      return output_wait::given_up;
    // Without a stop the wake pipe is watched too; with one, it stays readable (never
    // drained), so the output pipe is watched alone, for the time the state allows.
    pollfd watched[2] = {{static_cast<int>(pipe), POLLIN, 0}, {watch->wake_read, POLLIN, 0}};
    const nfds_t count = timeout < 0 ? 2 : 1;
    const int ready = ::poll(watched, count, timeout);
    if (ready < 0 && errno != EINTR)
      return output_wait::ready;  // the read reports what is wrong
    if (ready > 0 && watched[0].revents != 0 && next_timeout(*watch, timeout))
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
