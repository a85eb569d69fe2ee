// The atomic primitives over std::atomic_ref, so the counters stay plain 32-bit fields of the
// shared blocks (their layout is fixed) while every change of them is indivisible.
#include "ortolib/core/atomic.h"

#include <atomic>

namespace pt {

namespace {

// The new value from the old one, wrapping like the atomic operation itself: the count of the
// shared empty string only ever grows and may pass the largest value.
std::int32_t wrapped(std::int32_t old_value, std::uint32_t delta) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(old_value) + delta);
}

}  // namespace

std::int32_t atomic_increment(std::int32_t* counter) {
  return wrapped(std::atomic_ref<std::int32_t>(*counter).fetch_add(1, std::memory_order_seq_cst),
                 1u);
}

std::int32_t atomic_decrement(std::int32_t* counter) {
  return wrapped(std::atomic_ref<std::int32_t>(*counter).fetch_sub(1, std::memory_order_seq_cst),
                 0xFFFFFFFFu);
}

std::int32_t atomic_exchange(std::int32_t* target, std::int32_t value) {
  return std::atomic_ref<std::int32_t>(*target).exchange(value, std::memory_order_seq_cst);
}

void* atomic_exchange(void** target, void* value) {
  return std::atomic_ref<void*>(*target).exchange(value, std::memory_order_seq_cst);
}

std::int32_t atomic_read(const std::int32_t* counter) {
  // atomic_ref needs a modifiable object; the load does not modify it.
  return std::atomic_ref<std::int32_t>(*const_cast<std::int32_t*>(counter))
      .load(std::memory_order_acquire);
}

}  // namespace pt
