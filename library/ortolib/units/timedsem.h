// A counting semaphore over the OS's own. Every thread object owns one, made and closed with it.
#pragma once

#include <cstdint>

#include "ortolib/core/component.h"
#include "ortolib/platform/types.h"

namespace pt {

// Not counted and not copyable: its owner embeds it. The OS refusing the semaphore (an
// initial count below 0 or above the maximum 65535, among other causes) is the fatal error
// "Timed semaphore failed" (0xC0029), so a constructed object always holds a valid handle.
class timedsem : public unknown {
 public:
  static constexpr std::int32_t maximum_count = 0xFFFF;

  explicit timedsem(std::int32_t initial_count);
  ~timedsem() override;
  timedsem(const timedsem&) = delete;
  timedsem& operator=(const timedsem&) = delete;

  platform::handle sem_handle;  // an unnamed OS semaphore, valid for the object's whole life
};

}  // namespace pt
