// Windows backend: a read of an anonymous pipe cannot be waited for beside anything else, so
// the read itself waits, and a stopped run's watch cancels it (CancelSynchronousIo) once the
// child has ended and the grace has passed. A thread of the watch's own, started by the stop,
// waits for both and then cancels the reading thread's reads until the watch is closed, so that
// a read begun just after one cancel meets the next.
#include <windows.h>

#include <atomic>

#include "ortolib/platform/private/child_watch.h"
#include "ortolib/platform/win32/error.h"

namespace pt::platform {

struct child_watch {
  HANDLE process = nullptr;  // duplicates of the child's and the reading thread's handles
  HANDLE reader = nullptr;
  HANDLE closing = nullptr;  // set when the watch closes
  HANDLE grace = nullptr;    // the thread that cancels
  CRITICAL_SECTION lock;     // keeps a cancel from reaching the reader after close
  bool stopped = false;
  bool closed = false;
  std::atomic<bool> gave_up{false};
};

namespace {

constexpr DWORD cancel_interval_ms = 50;

HANDLE duplicate(HANDLE source) {
  HANDLE copy = nullptr;
  const HANDLE self = GetCurrentProcess();
  return DuplicateHandle(self, source, self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS) ? copy
                                                                                     : nullptr;
}

bool closing_within(child_watch& watch, DWORD milliseconds) {
  return WaitForSingleObject(watch.closing, milliseconds) == WAIT_OBJECT_0;
}

DWORD WINAPI cancel_after_grace(void* argument) {
  auto& watch = *static_cast<child_watch*>(argument);
  const HANDLE ended_or_closing[] = {watch.process, watch.closing};
  if (WaitForMultipleObjects(2, ended_or_closing, FALSE, INFINITE) != WAIT_OBJECT_0 ||
      closing_within(watch, stop_grace_milliseconds))
    return 0;
  do {
    EnterCriticalSection(&watch.lock);
    if (!watch.closed) {
      watch.gave_up.store(true);
      CancelSynchronousIo(watch.reader);
    }
    LeaveCriticalSection(&watch.lock);
  } while (!closing_within(watch, cancel_interval_ms));
  return 0;
}

void close_all(child_watch* watch) {
  for (HANDLE h : {watch->process, watch->reader, watch->closing, watch->grace})
    if (h != nullptr)
      CloseHandle(h);
  DeleteCriticalSection(&watch->lock);
  delete watch;
}

}  // namespace

child_watch* child_watch_open(handle process, bool /*stand_in*/) {
  auto* watch = new child_watch;
  InitializeCriticalSection(&watch->lock);
  watch->process = duplicate(reinterpret_cast<HANDLE>(process));
  watch->reader = duplicate(GetCurrentThread());
  watch->closing = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (watch->process == nullptr || watch->reader == nullptr || watch->closing == nullptr) {
    win32::error_capture();
    close_all(watch);
    return nullptr;
  }
  return watch;
}

void child_watch_stop(child_watch* watch) {
  EnterCriticalSection(&watch->lock);
  if (!watch->stopped && !watch->closed) {
    watch->stopped = true;
    watch->grace = CreateThread(nullptr, 0, cancel_after_grace, watch, 0, nullptr);
  }
  LeaveCriticalSection(&watch->lock);
}

output_wait child_watch_wait(child_watch* watch, handle /*pipe*/) {
  return watch->gave_up.load() ? output_wait::given_up : output_wait::ready;
}

bool child_watch_gave_up(child_watch* watch) { return watch->gave_up.load(); }

void child_watch_close(child_watch* watch) {
  if (watch == nullptr)
    return;
  EnterCriticalSection(&watch->lock);
  watch->closed = true;
  SetEvent(watch->closing);
  LeaveCriticalSection(&watch->lock);
  if (watch->grace != nullptr)
    WaitForSingleObject(watch->grace, INFINITE);
  close_all(watch);
}

}  // namespace pt::platform
