// Windows backend: unnamed counting semaphores and critical sections.
#include <windows.h>

#include <new>

#include "ortolib/platform/private/sync.h"
#include "ortolib/platform/win32/error.h"

namespace pt::platform {
namespace {

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(critical_section::storage),
              "critical_section::storage must hold a CRITICAL_SECTION");
static_assert(alignof(CRITICAL_SECTION) <= alignof(critical_section),
              "critical_section::storage must be aligned for a CRITICAL_SECTION");

CRITICAL_SECTION* record_in(critical_section& section) {
  return std::launder(reinterpret_cast<CRITICAL_SECTION*>(section.storage));
}

}  // namespace

handle semaphore_create(std::int32_t initial_count, std::int32_t maximum_count) {
  HANDLE semaphore = CreateSemaphoreA(nullptr, initial_count, maximum_count, nullptr);
  if (semaphore == nullptr) {
    win32::error_capture();
    return no_handle;
  }
  return reinterpret_cast<handle>(semaphore);
}

void semaphore_close(handle semaphore) {
  if (semaphore != no_handle && semaphore != 0)
    CloseHandle(reinterpret_cast<HANDLE>(semaphore));
}

void critical_section_init(critical_section& section) {
  InitializeCriticalSection(new (section.storage) CRITICAL_SECTION);
}

void critical_section_enter(critical_section& section) { EnterCriticalSection(record_in(section)); }

void critical_section_leave(critical_section& section) { LeaveCriticalSection(record_in(section)); }

void critical_section_destroy(critical_section& section) {
  DeleteCriticalSection(record_in(section));
}

}  // namespace pt::platform
