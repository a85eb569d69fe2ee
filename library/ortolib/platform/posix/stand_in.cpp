// POSIX backend: a child that stands in for the process. While the process holds its stops,
// SIGTERM and SIGHUP go on to the stand-in's tree, each followed by SIGCONT (a stopped child acts
// on a stop only once it runs again), and one that arrives while there is no child to take it
// is kept for the child to come; SIGINT and SIGQUIT are caught and dropped while a child runs,
// because it gets them from the terminal and decides. The handlers are replaced, never set to
// ignore: a child gets every handled signal back at its default, and every ignored one still
// ignored, so what it inherits is what the process was given.
#include "ortolib/platform/posix/stand_in.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace pt::platform::posix {
namespace {

// What the handlers read and change: atomics only, never a lock.
// Where a stop goes: -pgid for the stand-in's process group, its pid when it has none of its
// own, 0 while there is no child to take it.
std::atomic<pid_t> target{0};
// The stops that came while target was 0, as bits (1 << signal number), for the next child.
std::atomic<std::uint32_t> waiting{0};
// A stop, or an interrupt while no child ran, reached the process during its holds.
std::atomic<bool> stopped{false};
// The write end of the pipe that the stand-in's run watches (-1 for none), poked when a stop is
// passed on, and the handlers that are writing to it now: the run waits for them to be done
// before it closes the pipe, so that no handler writes to a number given to another file.
std::atomic<int> wake{-1};
std::atomic<int> poking{0};
static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
                  std::atomic<std::uint32_t>::is_always_lock_free &&
                  std::atomic<bool>::is_always_lock_free,
              "touched by a signal handler");

constexpr std::uint32_t bit(int signal_number) { return std::uint32_t{1} << signal_number; }

// A full pipe already wakes its reader: a failed write loses nothing.
void poke() {
  poking.fetch_add(1);
  const int fd = wake.load();
  if (fd >= 0)
    (void)!::write(fd, "", 1);
  poking.fetch_sub(1);
}

void send(pid_t to, std::uint32_t stops) {
  if (stops == 0)
    return;
  for (int signal_number : {SIGTERM, SIGHUP})
    if ((stops & bit(signal_number)) != 0)
      ::kill(to, signal_number);
  ::kill(to, SIGCONT);
}

void pass_on(int signal_number) {
  const int saved_errno = errno;
  stopped.store(true);
  pid_t to = target.load();
  if (to != 0) {
    send(to, bit(signal_number));
  } else {
    waiting.fetch_or(bit(signal_number));
    // A child that came meanwhile may have taken the waiting stops before this one joined them.
    to = target.load();
    if (to != 0)
      send(to, waiting.exchange(0));
  }
  poke();
  errno = saved_errno;
}

// Without a child, the run the interrupt was meant for has not begun (or has ended): a start
// still to come is not made.
void leave_to_child(int /*signal_number*/) {
  if (target.load() == 0)
    stopped.store(true);
}

struct caught_signal {
  int number;
  void (*handler)(int);
};
constexpr caught_signal caught[] = {
    {SIGTERM, pass_on}, {SIGHUP, pass_on}, {SIGINT, leave_to_child}, {SIGQUIT, leave_to_child}};
constexpr int caught_count = sizeof caught / sizeof caught[0];

// Changed by the holders alone, under hold_lock; read by stop_requested.
std::mutex hold_lock;
std::atomic<int> holds{0};
bool claimed = false;  // a stand-in has the signals
struct sigaction replaced[caught_count];
bool was_replaced[caught_count];

void install() {
  stopped.store(false);
  waiting.store(0);
  for (int i = 0; i < caught_count; ++i) {
    was_replaced[i] = false;
    if (::sigaction(caught[i].number, nullptr, &replaced[i]) != 0 ||
        replaced[i].sa_handler == SIG_IGN)
      continue;  // ignored by whoever started the process: it stays so for the child too
    struct sigaction action {};
    action.sa_handler = caught[i].handler;
    action.sa_flags = SA_RESTART;  // the reads of the output and the wait go on
    sigemptyset(&action.sa_mask);
    was_replaced[i] = ::sigaction(caught[i].number, &action, nullptr) == 0;
  }
}

void uninstall() {
  for (int i = 0; i < caught_count; ++i)
    if (was_replaced[i])
      ::sigaction(caught[i].number, &replaced[i], nullptr);
}

void hold_locked() {
  if (holds.load() == 0)
    install();
  holds.store(holds.load() + 1);
}

void release_locked() {
  holds.store(holds.load() - 1);
  if (holds.load() == 0)
    uninstall();
}

}  // namespace

void stops_hold() {
  const std::lock_guard<std::mutex> guard(hold_lock);
  hold_locked();
}

void stops_release() {
  const std::lock_guard<std::mutex> guard(hold_lock);
  release_locked();
}

bool stop_requested() { return holds.load() > 0 && stopped.load(); }

bool forwarding_begin() {
  const std::lock_guard<std::mutex> guard(hold_lock);
  if (claimed)
    return false;
  claimed = true;
  target.store(0);
  hold_locked();
  return true;
}

void forwarding_child(pid_t /*child*/, pid_t to) {
  target.store(to);
  send(to, waiting.exchange(0));
}

bool forwarding_to(pid_t child) {
  const pid_t to = target.load();
  return child > 0 && (to == child || to == -child);
}

void forwarding_forget(pid_t child) {
  pid_t expected = target.load();
  if (child > 0 && (expected == child || expected == -child))
    target.compare_exchange_strong(expected, 0);
}

void forwarding_end() {
  const std::lock_guard<std::mutex> guard(hold_lock);
  target.store(0);  // a signal from here on is kept, never sent to a stale id
  claimed = false;
  release_locked();
}

void forwarding_wake(int descriptor) {
  wake.store(descriptor);
  if (descriptor >= 0)
    return;
  while (poking.load() != 0) {
    // a handler is writing; it cannot wait for anything, so this ends at once
  }
}

bool tie_to_parent(pid_t parent) {
#ifdef __linux__
  // The request survives the exec; the check after it catches a parent that was gone before.
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
    return false;
#endif
  return ::getppid() == parent;
}

}  // namespace pt::platform::posix
