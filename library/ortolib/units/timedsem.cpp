// The semaphore object: created with its owner, closed with it.
#include "ortolib/units/timedsem.h"

#include "ortolib/core/fatal.h"
#include "ortolib/platform/private/sync.h"

namespace pt {

timedsem::timedsem(std::int32_t initial_count)
    : sem_handle(platform::semaphore_create(initial_count, maximum_count)) {
  if (sem_handle == platform::no_handle)
    fatal_error(fatal::semaphore);
}

timedsem::~timedsem() { platform::semaphore_close(sem_handle); }

}  // namespace pt
