// POSIX backend: counting semaphores that refuse the counts Windows refuses, and critical
// sections over recursive mutexes (a CRITICAL_SECTION may be entered again by its owner).
#include <pthread.h>
#include <semaphore.h>

#include <cerrno>
#include <new>

#include "ortolib/platform/posix/error.h"
#include "ortolib/platform/private/sync.h"

namespace pt::platform {
namespace {

static_assert(sizeof(pthread_mutex_t) <= sizeof(critical_section::storage),
              "critical_section::storage must hold a pthread_mutex_t");
static_assert(alignof(pthread_mutex_t) <= alignof(critical_section),
              "critical_section::storage must be aligned for a pthread_mutex_t");

pthread_mutex_t* mutex_in(critical_section& section) {
  return std::launder(reinterpret_cast<pthread_mutex_t*>(section.storage));
}

}  // namespace

handle semaphore_create(std::int32_t initial_count, std::int32_t maximum_count) {
  if (maximum_count < 1 || initial_count < 0 || initial_count > maximum_count) {
    posix::error_record(EINVAL);
    return no_handle;
  }
  auto* semaphore = new sem_t;
  if (::sem_init(semaphore, 0, static_cast<unsigned>(initial_count)) != 0) {
    posix::error_capture();
    delete semaphore;
    return no_handle;
  }
  return reinterpret_cast<handle>(semaphore);
}

void semaphore_close(handle semaphore) {
  if (semaphore == no_handle || semaphore == 0)
    return;
  auto* held = reinterpret_cast<sem_t*>(semaphore);
  ::sem_destroy(held);
  delete held;
}

void critical_section_init(critical_section& section) {
  pthread_mutexattr_t attributes;
  ::pthread_mutexattr_init(&attributes);
  ::pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  ::pthread_mutex_init(new (section.storage) pthread_mutex_t, &attributes);
  ::pthread_mutexattr_destroy(&attributes);
}

void critical_section_enter(critical_section& section) { ::pthread_mutex_lock(mutex_in(section)); }

void critical_section_leave(critical_section& section) {
  ::pthread_mutex_unlock(mutex_in(section));
}

void critical_section_destroy(critical_section& section) {
  ::pthread_mutex_destroy(mutex_in(section));
}

}  // namespace pt::platform
