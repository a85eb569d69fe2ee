// POSIX backend: a child that stands in for the process. While it runs, SIGTERM and SIGHUP
// that reach the process go on to the child, so that the process lives on to collect what the
// child wrote until it ends; SIGINT and SIGQUIT are caught and dropped, because the child gets
// them from the terminal with the whole foreground group and decides. The handlers are
// replaced, never set to ignore: a child gets every handled signal back at its default, and
// every ignored one still ignored, so what it inherits is what the process was given.
#include "ortolib/platform/posix/stand_in.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace pt::platform::posix {
namespace {

// The one slot through which signals are passed on, read by the handler. A positive value is
// the child's id; the others say why there is none.
constexpr pid_t slot_free = INT_MIN;       // no stand-in has the signals
constexpr pid_t slot_ended = INT_MIN + 1;  // the stand-in's child has ended, or its run ends
constexpr pid_t slot_waiting = 0;          // the child does not exist yet
// Any other negative value: the child does not exist yet, and that signal (negated) waits.
std::atomic<pid_t> slot{slot_free};
static_assert(std::atomic<pid_t>::is_always_lock_free, "touched by a signal handler");

void pass_on(int signal_number) {
  const int saved_errno = errno;
  pid_t current = slot.load();
  for (;;) {
    if (current > 0) {
      ::kill(current, signal_number);
      break;
    }
    // A first signal before the child exists waits for it; a second one adds nothing.
    if (current != slot_waiting ||
        slot.compare_exchange_weak(current, static_cast<pid_t>(-signal_number)))
      break;
  }
  errno = saved_errno;
}

void drop(int /*signal_number*/) {}

struct caught_signal {
  int number;
  void (*handler)(int);
};
constexpr caught_signal caught[] = {
    {SIGTERM, pass_on}, {SIGHUP, pass_on}, {SIGINT, drop}, {SIGQUIT, drop}};
constexpr int caught_count = sizeof caught / sizeof caught[0];

// The dispositions the stand-in replaced, touched only by the thread that holds the slot.
struct sigaction replaced[caught_count];
bool was_replaced[caught_count];

}  // namespace

bool forwarding_begin() {
  pid_t expected = slot_free;
  if (!slot.compare_exchange_strong(expected, slot_waiting))
    return false;
  for (int i = 0; i < caught_count; ++i) {
    was_replaced[i] = false;
    if (::sigaction(caught[i].number, nullptr, &replaced[i]) != 0 ||
        replaced[i].sa_handler == SIG_IGN)
      continue;  // ignored by whoever started the process: it stays so for the child too
    struct sigaction action {};
    action.sa_handler = caught[i].handler;
    action.sa_flags = SA_RESTART;  // the copy loop's reads and the wait go on
    sigemptyset(&action.sa_mask);
    was_replaced[i] = ::sigaction(caught[i].number, &action, nullptr) == 0;
  }
  return true;
}

void forwarding_child(pid_t child) {
  const pid_t before = slot.exchange(child);
  if (before < 0 && before != slot_free && before != slot_ended)
    ::kill(child, -before);
}

bool forwarding_to(pid_t child) { return child > 0 && slot.load() == child; }

void forwarding_forget(pid_t child) {
  pid_t expected = child;
  slot.compare_exchange_strong(expected, slot_ended);
}

void forwarding_end() {
  slot.store(slot_ended);  // a signal from here on is dropped, never sent to a stale id
  for (int i = 0; i < caught_count; ++i)
    if (was_replaced[i])
      ::sigaction(caught[i].number, &replaced[i], nullptr);
  slot.store(slot_free);
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
