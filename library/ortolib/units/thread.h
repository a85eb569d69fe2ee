// The library's base class for work that runs on an OS thread of its own: the body runs on the
// new thread, the object records its end, may delete itself there, and can be waited for.
#pragma once

#include <cstdint>

#include "ortolib/core/component.h"
#include "ortolib/platform/types.h"
#include "ortolib/units/timedsem.h"

namespace pt {

// A derived class supplies run (and optionally after_run); launch starts the OS thread, which
// calls run, then after_run, then sets done. Not counted and not copyable.
//
// Ownership: the owner deletes a thread that is not autofree, after waitfor. An autofree
// thread must be created with new; it deletes itself on its own thread once its work has ended,
// so after launch its owner must neither touch it nor wait for it. The base destructor never
// waits: a derived class whose objects can be deleted while their thread may still run calls
// waitfor at the start of its own destructor. A thread that is not autofree releases its OS
// handle only in waitfor; deleting one that was launched but never waited for leaks the handle
// (on POSIX, the thread is never joined).
//
// Fatal errors (never thrown): 0xC0028 "CreateThread() failed" when the OS refuses the thread;
// 0xC002F "Can not waitfor() on myself" and 0xC0030 "Can not waitfor() on an autofree thread"
// for misuse of waitfor; 0xC0029 "Timed semaphore failed" from construction.
//
// Exceptions: a library exception (exception*) thrown by after_run is deleted and otherwise
// ignored. One thrown by run still lets the completion step run (after_run, done, the deletion
// of an autofree object) and is then thrown on out of thread_entry. Nothing above thread_entry
// catches it, and in C++ an exception that leaves a thread's start routine ends the process
// (std::terminate) on both platforms; derived classes must therefore catch their errors inside
// run. Exceptions of any other type are not caught at all.
//
// Platform: Windows threads come from the runtime's _beginthreadex; POSIX threads are joined
// (waitfor) or detached (an autofree thread's destructor). On both, the handle and identifier
// are stored in the object before the new thread can begin, so an autofree thread that ends at
// once never writes to or reads from freed memory.
class thread : public unknown {
 public:
  explicit thread(bool free_when_done);
  ~thread() override;
  thread(const thread&) = delete;
  thread& operator=(const thread&) = delete;

  // Creates the OS thread; only the first call of the object's life does anything, however many
  // threads call it at once.
  void launch();

  // Blocks until the OS thread has ended, then releases its handle. Only the first call (or the
  // destructor, if it came first) deals with the handle: later and concurrent calls return at
  // once without waiting. A thread that was never launched is not waited for.
  void waitfor();

  // Read-only to everyone but this class. The three flags change only through atomic_exchange;
  // read them from other threads with atomic_read.
  std::uint32_t thread_id = 0;                           // 0 until launch
  platform::handle thread_handle = platform::no_handle;  // none until launch and after waitfor
  std::int32_t autofree;             // 1: deletes itself when its work has ended
  std::int32_t started = 0;          // 1 after the first launch
  std::int32_t done = 0;             // 1 once run and after_run have ended
  std::int32_t handle_released = 0;  // 1 once waitfor or the destructor took it
  timedsem thread_sem;               // count 0; nothing waits on it or posts it

 protected:
  // The body, on the new thread.
  virtual void run() = 0;
  // Called on the new thread after run (also when run threw the library's exception).
  virtual void after_run();

 private:
  friend unsigned thread_entry(void* argument);

  // The end of the thread's work: after_run, done, and the deletion of an autofree object.
  void complete_run();
};

// The routine every OS thread of the library starts in; argument is the thread object. Runs the
// body and the completion step and returns 0, the OS thread's exit code. A library exception
// from run is thrown on after the completion step (see thread above).
unsigned thread_entry(void* argument);

// True when id is the calling OS thread's identifier.
bool is_current_thread(std::uint32_t id);

}  // namespace pt
