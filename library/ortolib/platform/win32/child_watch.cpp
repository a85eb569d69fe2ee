// Windows backend: a read of an anonymous pipe cannot be waited for beside anything else, so
// the read itself waits, and the watch cancels it (CancelSynchronousIo) once the child has
// ended after a stop and the grace has passed, or at once when the run abandons its reads. A
// thread of the watch's own, started by the stop, waits for that moment and then cancels the
// readers' reads until the watch is closed, so that a read begun just after one cancel meets the
// next.
#include <windows.h>

#include <atomic>

#include "ortolib/platform/private/child_watch.h"
#include "ortolib/platform/win32/error.h"

namespace pt::platform {

struct child_watch {
  HANDLE process = nullptr;  // a duplicate of the child's handle, to see its end
  HANDLE readers[2] = {};    // the reading threads, whose reads a cancel ends
  int reader_count = 0;
  HANDLE closing = nullptr;    // set when the watch closes
  HANDLE abandoned = nullptr;  // set when the run gives up its reads at once
  HANDLE canceller = nullptr;  // the thread that cancels
  CRITICAL_SECTION lock;       // guards the readers, the canceller and closed
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

bool set_within(HANDLE event, DWORD milliseconds) {
  return WaitForSingleObject(event, milliseconds) == WAIT_OBJECT_0;
}

// Until the child has ended and the grace has passed, or the reads are abandoned: false when
// the watch closes first.
bool time_to_cancel(child_watch& watch) {
  const HANDLE ended[] = {watch.process, watch.abandoned, watch.closing};
  switch (WaitForMultipleObjects(3, ended, FALSE, INFINITE)) {
    case WAIT_OBJECT_0: break;
    case WAIT_OBJECT_0 + 1: return true;
    default: return false;
  }
  const HANDLE grace_over[] = {watch.abandoned, watch.closing};
  return WaitForMultipleObjects(2, grace_over, FALSE, stop_grace_milliseconds) != WAIT_OBJECT_0 + 1;
}

DWORD WINAPI cancel_reads(void* argument) {
  auto& watch = *static_cast<child_watch*>(argument);
  if (!time_to_cancel(watch))
    return 0;
  do {
    EnterCriticalSection(&watch.lock);
    if (!watch.closed) {
      watch.gave_up.store(true);
      for (int i = 0; i < watch.reader_count; ++i)
        CancelSynchronousIo(watch.readers[i]);
    }
    LeaveCriticalSection(&watch.lock);
  } while (!set_within(watch.closing, cancel_interval_ms));
  return 0;
}

// Starts the canceller once; under the lock.
void start_canceller(child_watch& watch) {
  if (watch.canceller == nullptr && !watch.closed)
    watch.canceller = CreateThread(nullptr, 0, cancel_reads, &watch, 0, nullptr);
}

void close_all(child_watch* watch) {
  for (HANDLE h : {watch->process, watch->readers[0], watch->readers[1], watch->closing,
                   watch->abandoned, watch->canceller})
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
  watch->readers[0] = duplicate(GetCurrentThread());
  watch->reader_count = 1;
  watch->closing = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  watch->abandoned = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (watch->process == nullptr || watch->readers[0] == nullptr || watch->closing == nullptr ||
      watch->abandoned == nullptr) {
    win32::error_capture();
    close_all(watch);
    return nullptr;
  }
  return watch;
}

void child_watch_join(child_watch* watch) {
  EnterCriticalSection(&watch->lock);
  if (watch->reader_count < 2)
    watch->readers[watch->reader_count++] = duplicate(GetCurrentThread());
  LeaveCriticalSection(&watch->lock);
}

void child_watch_stop(child_watch* watch) {
  EnterCriticalSection(&watch->lock);
  start_canceller(*watch);
  LeaveCriticalSection(&watch->lock);
}

void child_watch_abandon(child_watch* watch) {
  EnterCriticalSection(&watch->lock);
  SetEvent(watch->abandoned);
  start_canceller(*watch);
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
  if (watch->canceller != nullptr)
    WaitForSingleObject(watch->canceller, INFINITE);
  close_all(watch);
}

}  // namespace pt::platform
