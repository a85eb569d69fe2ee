// POSIX backend: threads that start as Windows threads created suspended do, with their
// handle and id stored before the routine can run.
#include <pthread.h>
#include <unistd.h>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "ortolib/platform/posix/error.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/thread.h"

namespace pt::platform {
namespace {

static_assert(sizeof(pthread_t) <= sizeof(handle), "a pthread_t must fit into a handle");

// Shared by the creator and the new thread; whichever lets go last frees it, so neither
// touches freed memory however the two are scheduled.
struct start_gate {
  thread_routine routine;
  void* argument;
  std::mutex lock;
  std::condition_variable changed;
  pid_t thread_id = 0;  // set by the new thread
  bool open = false;    // set by the creator once it has stored handle and id
};

void* trampoline(void* raw) {
  std::shared_ptr<start_gate> gate = std::move(*static_cast<std::shared_ptr<start_gate>*>(raw));
  delete static_cast<std::shared_ptr<start_gate>*>(raw);
  {
    std::unique_lock<std::mutex> held(gate->lock);
    gate->thread_id = ::gettid();
    gate->changed.notify_all();
    gate->changed.wait(held, [&] { return gate->open; });
  }
  thread_routine routine = gate->routine;
  void* argument = gate->argument;
  gate.reset();
  routine(argument);
  return nullptr;
}

}  // namespace

bool thread_start(thread_routine routine, void* argument, handle& thread_handle,
                  std::uint32_t& thread_id) {
  auto gate = std::make_shared<start_gate>();
  gate->routine = routine;
  gate->argument = argument;
  auto* passed = new std::shared_ptr<start_gate>(gate);
  pthread_t thread;
  int error = ::pthread_create(&thread, nullptr, trampoline, passed);
  if (error != 0) {
    delete passed;
    posix::error_record(static_cast<os_error>(error));
    return false;
  }
  std::unique_lock<std::mutex> held(gate->lock);
  gate->changed.wait(held, [&] { return gate->thread_id != 0; });
  thread_handle = static_cast<handle>(thread);
  thread_id = static_cast<std::uint32_t>(gate->thread_id);
  // From here on the routine may run and free the memory that holds thread_handle.
  gate->open = true;
  gate->changed.notify_all();
  return true;
}

void thread_join(handle thread_handle) {
  if (thread_handle != no_handle && thread_handle != 0)
    ::pthread_join(static_cast<pthread_t>(thread_handle), nullptr);
}

void thread_release(handle thread_handle) {
  if (thread_handle != no_handle && thread_handle != 0)
    ::pthread_detach(static_cast<pthread_t>(thread_handle));
}

std::uint32_t current_thread_id() { return static_cast<std::uint32_t>(::gettid()); }

}  // namespace pt::platform
