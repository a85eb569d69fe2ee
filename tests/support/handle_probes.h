// What tests of handle inheritance need beyond the platform layer: a handle made inheritable as
// one a process inherited from its own parent is, whether anyone still writes into a pipe, and
// a process ended from outside. The bodies are chosen by CMake with the library's backend.
#pragma once

#include <cstdint>

#include "ortolib/platform/types.h"

namespace pt::test {

// Makes h inheritable (POSIX: close-on-exec cleared), as what a caller passes its children.
void make_inheritable(platform::handle h);

// Whether some process still holds the write end of the pipe read through read_end. Does not
// wait, and takes nothing from the pipe.
bool pipe_has_writer(platform::handle read_end);

// Ends the process at once, as a caller that gives up on it does (SIGKILL,
// TerminateProcess); it is still waited for with platform::process_wait.
void process_kill(platform::handle process);

// Whether nothing is left of the process with this id: it has ended and, on POSIX, has been
// reaped (a zombie still counts as there). An id may be reused: ask soon after its end.
bool process_gone(std::uint32_t process_id);

}  // namespace pt::test
