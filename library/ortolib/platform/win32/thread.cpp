// Windows backend: threads through the runtime's _beginthreadex, created suspended so their
// handle and id are stored before the routine can run.
#include <windows.h>

#include <process.h>

#include "ortolib/platform/private/thread.h"
#include "ortolib/platform/win32/error.h"

namespace pt::platform {

bool thread_start(thread_routine routine, void* argument, handle& thread_handle,
                  std::uint32_t& thread_id) {
  unsigned id = 0;
  std::uintptr_t created = _beginthreadex(nullptr, 0, routine, argument, CREATE_SUSPENDED, &id);
  if (created == 0) {
    win32::error_capture();
    return false;
  }
  HANDLE thread = reinterpret_cast<HANDLE>(created);
  thread_handle = static_cast<handle>(created);
  thread_id = id;
  // From here on the routine may run and free the memory that holds thread_handle.
  ResumeThread(thread);
  return true;
}

void thread_join(handle thread_handle) {
  if (thread_handle == no_handle || thread_handle == 0)
    return;
  WaitForSingleObject(reinterpret_cast<HANDLE>(thread_handle), INFINITE);
  CloseHandle(reinterpret_cast<HANDLE>(thread_handle));
}

void thread_release(handle thread_handle) {
  if (thread_handle != no_handle && thread_handle != 0)
    CloseHandle(reinterpret_cast<HANDLE>(thread_handle));
}

std::uint32_t current_thread_id() { return GetCurrentThreadId(); }

}  // namespace pt::platform
