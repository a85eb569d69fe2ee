// Private to the library (not installed): a child's tree, the processes it started and those
// they started, which ending the child ends as well. Backend: process_tree.cpp.
#pragma once

#include "ortolib/platform/types.h"

namespace pt::platform {

// Ends the process and its tree at once, tree being process_info::tree (process.h): POSIX
// sends SIGKILL to the process group a stand-in leads, or else to every process that descends
// from the child (Linux, through /proc: the tree is frozen first, so that nothing it starts
// meanwhile escapes), Windows terminates the job. What left the tree on purpose runs on: on
// POSIX a process in a session of its own (setsid, a daemon) or one that outlived its parent,
// on Windows one that broke away from the job. Call it only for a process that process_wait
// has not yet reaped. True when the child was ended (as process_kill).
bool process_kill_tree(handle process, handle tree);

// Releases what process_info::tree holds (Windows: the job's handle; nothing on POSIX) and
// sets it to no_handle. Ends nothing: what runs in the tree runs on.
void process_tree_close(handle& tree);

}  // namespace pt::platform
