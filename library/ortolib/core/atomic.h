// The indivisible counter and slot operations on which every reference count of the library
// rests (strings, variant arrays, components) and the exchanges of thread flags.
// Each is one atomic step with a full (sequentially consistent) memory barrier.
#pragma once

#include "ortolib/config.h"

#include <cstdint>

namespace pt {

// Adds 1 to *counter and returns the new value.
std::int32_t atomic_increment(std::int32_t* counter);

// Subtracts 1 from *counter and returns the new value.
std::int32_t atomic_decrement(std::int32_t* counter);

// Stores value in *target and returns what it held before.
std::int32_t atomic_exchange(std::int32_t* target, std::int32_t value);
void* atomic_exchange(void** target, void* value);

// The pointer form for a typed slot, so callers need no casts.
template <class T>
T* atomic_exchange(T** target, T* value) {
  return static_cast<T*>(atomic_exchange(reinterpret_cast<void**>(target), value));
}

// A read of a counter that another thread may change at the same time, with acquire order:
// the copy-on-write tests read a count without changing it, and whatever the last releaser
// wrote before its decrement must be visible before this thread writes to the block.
std::int32_t atomic_read(const std::int32_t* counter);

}  // namespace pt
