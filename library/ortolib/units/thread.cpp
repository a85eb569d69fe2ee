// The thread base class: starting the OS thread once, the completion step on the new thread,
// and the single release of the thread's handle.
#include "ortolib/units/thread.h"

#include "ortolib/core/exception.h"
#include "ortolib/core/fatal.h"
#include "ortolib/platform/private/thread.h"

namespace pt {

thread::thread(bool free_when_done) : autofree(free_when_done ? 1 : 0), thread_sem(0) {}

thread::~thread() {
  // Only an autofree thread gives up its handle here (from its own thread, which runs on
  // detached); any other thread's handle belongs to waitfor.
  if (atomic_exchange(&handle_released, 1) == 0 && autofree != 0)
    platform::thread_release(thread_handle);
}

void thread::launch() {
  if (atomic_exchange(&started, 1) != 0)
    return;
  // The platform stores the handle and id into these fields before thread_entry can begin, so
  // an autofree thread may delete the object at once. Nothing here touches it afterwards.
  if (!platform::thread_start(thread_entry, this, thread_handle, thread_id))
    fatal_error(fatal::thread_create);
}

void thread::waitfor() {
  if (atomic_exchange(&handle_released, 1) != 0)
    return;
  if (is_current_thread(thread_id))
    fatal_error(fatal::waitfor_self);
  if (autofree != 0)
    fatal_error(fatal::waitfor_autofree);
  platform::thread_join(thread_handle);
  thread_handle = platform::no_handle;
}

void thread::after_run() {}

void thread::complete_run() {
  try {
    after_run();
  } catch (exception* error) {
    delete error;
  }
  // Read before done is set: from then on the owner of a thread that is not autofree may
  // delete the object.
  bool free_self = autofree != 0;
  atomic_exchange(&done, 1);
  if (free_self)
    delete this;
}

unsigned thread_entry(void* argument) {
  auto* self = static_cast<thread*>(argument);
  try {
    self->run();
  } catch (exception*) {
    self->complete_run();
    throw;
  }
  self->complete_run();
  return 0;
}

bool is_current_thread(std::uint32_t id) { return id == platform::current_thread_id(); }

}  // namespace pt
