// POSIX backend, private: a child that stands in for the process (process_request::stand_in).
// The process passes its stop signals on to the child's tree, holds them while no child is
// there to take them, and the child is tied to the life of the thread that started it. Only the
// files of this backend include it.
#pragma once

#include <sys/types.h>

namespace pt::platform::posix {

// Starts holding the stop signals (SIGTERM, SIGHUP) and the terminal's interrupts (SIGINT,
// SIGQUIT): they no longer end the process. A signal ignored now stays ignored. Holds nest:
// the first puts the handlers in place, the last (stops_release) takes them away. A stop that
// arrives while no child takes it is kept (stop_requested) until the first hold begins again.
void stops_hold();
void stops_release();

// True once a stop, or an interrupt while no child ran, reached the process during its holds.
bool stop_requested();

// Claims the signals for a stand-in about to be started, and holds them for it. False when
// another stand-in has them (nothing changed then).
bool forwarding_begin();

// The child exists: stops go to target from now on (-pgid for its process group, or its pid),
// and one that waited for it is passed on now.
void forwarding_child(pid_t child, pid_t target);

// Whether signals are passed on to this child.
bool forwarding_to(pid_t child);

// Stops passing signals on to the child, which has ended and is about to be reaped, so that no
// signal reaches a process that takes its id afterwards; one that arrives later is kept.
void forwarding_forget(pid_t child);

// Ends what forwarding_begin started: the claim and its hold.
void forwarding_end();

// The write end of a pipe that gets a byte whenever a stop is passed on, so that the thread
// that waits for the stand-in's output looks again; -1 for none, which returns once no handler
// is writing to the one before, so that it can be closed.
void forwarding_wake(int descriptor);

// In the child, between vfork and exec (async-signal-safe): asks for SIGKILL when the thread
// that started it ends (Linux). False when parent, the starting process, has ended already.
bool tie_to_parent(pid_t parent);

}  // namespace pt::platform::posix
