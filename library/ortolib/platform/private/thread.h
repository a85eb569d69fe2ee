// Private to the library (not installed): OS threads. Backend: thread.cpp.
#pragma once

#include <cstdint>

#include "ortolib/platform/types.h"

namespace pt::platform {

using thread_routine = unsigned (*)(void* argument);

// Starts routine(argument) on a new OS thread. thread_handle and thread_id are stored before
// the routine can begin, so a routine that deletes their owner at once is safe.
// False on failure.
bool thread_start(thread_routine routine, void* argument, handle& thread_handle,
                  std::uint32_t& thread_id);

// Waits until the thread has ended, then releases its handle.
void thread_join(handle thread_handle);

// Releases the handle of a thread that is not waited for; the thread runs on.
void thread_release(handle thread_handle);

// The OS identifier of the calling thread.
std::uint32_t current_thread_id();

}  // namespace pt::platform
