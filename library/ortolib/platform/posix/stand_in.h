// POSIX backend, private: a child that stands in for the process (process_request::stand_in).
// The process passes its stop signals on to the child, and the child is tied to the life of the
// thread that started it. Only the files of this backend include it.
#pragma once

#include <sys/types.h>

namespace pt::platform::posix {

// Starts passing SIGTERM and SIGHUP on, and catching SIGINT and SIGQUIT, for a child about to
// be started; a signal ignored now stays ignored. False when another stand-in has the signals
// (nothing changed then).
bool forwarding_begin();

// The child's id, once it exists: a signal that arrived before is passed on now.
void forwarding_child(pid_t child);

// Whether signals are passed on to this child.
bool forwarding_to(pid_t child);

// Stops passing signals on to the child, which has ended and is about to be reaped, so that no
// signal reaches a process that takes its id afterwards.
void forwarding_forget(pid_t child);

// Ends what forwarding_begin started: the replaced dispositions are back.
void forwarding_end();

// In the child, between vfork and exec (async-signal-safe): asks for SIGKILL when the thread
// that started it ends (Linux). False when parent, the starting process, has ended already.
bool tie_to_parent(pid_t parent);

}  // namespace pt::platform::posix
