// Private to the library (not installed): what a run watches while it reads a child's output,
// so that a stopped run ends even when something outside the child's tree holds the pipe.
// Backend: child_watch.cpp.
#pragma once

#include "ortolib/platform/private/process.h"
#include "ortolib/platform/types.h"

namespace pt::platform {

// How long a run goes on reading after a stop once the child has ended: what the tree wrote on
// its way out is collected, and a holder of the pipe that left the tree on purpose (a daemon,
// a grandchild that broke away from the job) cannot keep the run open.
inline constexpr int stop_grace_milliseconds = 1000;

// Opaque; each backend defines it.
struct child_watch;

// Starts watching a child that process_start started (its process handle), for the calling
// thread, which is the one that reads its output. stand_in: the child stands in for the process
// (process_request), so the stops that the process passes on to it count as well. Null on
// failure, with the error recorded.
child_watch* child_watch_open(handle process, bool stand_in);

// In another thread that reads an output of the same child (its standard error apart): that
// thread's reads are watched too. Two reading threads at most.
void child_watch_join(child_watch* watch);

// A stop was asked for (process_kill_tree, from any thread): the run's reads end once the
// child has ended and the grace has passed.
void child_watch_stop(child_watch* watch);

// The run gives up its reads at once (it failed, and the child may hold its pipes for ever):
// every reader's wait and read end, from any thread.
void child_watch_abandon(child_watch* watch);

enum class output_wait { ready, given_up };

// In the reading thread, before each read of pipe (the read end of the child's output): ready
// when the read may go ahead, given_up when the run is to stop reading. POSIX waits until the
// pipe can be read (data or its end) or the watch gives up; Windows lets the read itself wait
// and cancels it when the watch gives up (child_watch_gave_up).
output_wait child_watch_wait(child_watch* watch, handle pipe);

// Whether a read that failed was cancelled by the watch giving up (Windows), so that it is the
// end of the output and no failure.
bool child_watch_gave_up(child_watch* watch);

// Ends the watch; after it, nothing of the watch touches the reading thread. Null does nothing.
void child_watch_close(child_watch* watch);

}  // namespace pt::platform
