// Limits that tests put on a process to provoke faults the library must survive: too little
// address space, and a file-size limit that makes a write fail as on a full disk; and the
// signal settings a caller may start a process with.
#pragma once

#include <cstdint>
#include <vector>

#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/process.h"

namespace pt::test {

// The signals a test sets up for a process it starts (signal_report.h names them).
enum class test_signal { hangup, interrupt, quit, terminate, pipe, file_size, child, user1, stop };

struct process_limits {
  std::uint64_t address_space = 0;  // bytes of virtual address space; 0 for no limit
  std::uint64_t file_size = 0;      // the largest file the process may write; 0 for no limit
  std::uint64_t open_files = 0;     // the most descriptors the process may hold; 0 for no limit
};

struct signal_setup {
  std::vector<test_signal> ignored;  // ignored in the process; every other signal at default
  std::vector<test_signal> blocked;  // its signal mask; empty: none blocked
  // In a session of its own, without a terminal, as a build tool or a service starts it
  // (POSIX setsid), whatever terminal the tests run at.
  bool new_session = false;
};

// True where the OS lets a process be limited so (POSIX: setrlimit). The Windows
// implementation supports neither limit; tests skip there.
bool process_limits_supported();

// Limits the calling process for the rest of its life (for death tests). False, with
// nothing changed, where not supported or when the OS refuses.
bool limit_this_process(const process_limits& limits);

// Starts a child as platform::process_start does (argv[0] the application, the arguments
// split by the C-runtime rules, the three standard handles placed, a standard handle that is
// not a descriptor left closed, every other inheritable handle passed on unless the request's
// inherit_handles is false) with every signal at
// its default disposition except those signals ignores, the mask signals blocks, and the
// limits applied to the child alone. So on POSIX a write past
// the file-size limit raises SIGXFSZ, whose default ends the child unless the child ignores
// it itself. The child is waited for and released with platform::process_wait and
// process_close. Returns 0 when started, otherwise the OS error of the failure (that of the
// child's exec included); where not supported, an error without starting anything.
platform::os_error start_limited(const platform::process_request& request,
                                 const process_limits& limits, platform::process_info& started,
                                 const signal_setup& signals = {});

// Sends the signal to a process started by the test, as a caller or the terminal would (POSIX
// kill). False where there are no signals (Windows) or when it cannot be sent.
bool process_signal(platform::handle process, test_signal which);

// Puts the calling process into a new job of its own, as a caller that runs its programs in a
// job does: everything it starts afterwards runs in that job too. False where there are no
// jobs (POSIX) or when the OS refuses.
bool join_new_job();

}  // namespace pt::test
