// Windows: the inherit flag of a handle, a pipe's writers seen by PeekNamedPipe,
// TerminateProcess.
#include <windows.h>

#include "support/handle_probes.h"

namespace pt::test {

namespace {

HANDLE os(platform::handle h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

void make_inheritable(platform::handle h) {
  SetHandleInformation(os(h), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

bool pipe_has_writer(platform::handle read_end) {
  // With no writer left, a peek at an empty pipe fails with ERROR_BROKEN_PIPE.
  DWORD available = 0;
  return PeekNamedPipe(os(read_end), nullptr, 0, nullptr, &available, nullptr) ||
         GetLastError() != ERROR_BROKEN_PIPE;
}

void process_kill(platform::handle process) { TerminateProcess(os(process), 1); }

bool process_gone(std::uint32_t process_id) {
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
  if (process == nullptr)
    return true;
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

}  // namespace pt::test
