// Private to the library (not installed): semaphores and critical sections. Backend: sync.cpp.
#pragma once

#include <cstdint>

#include "ortolib/platform/types.h"

namespace pt::platform {

// Creates an unnamed counting semaphore; no_handle when the OS refuses (for instance an
// initial count below 0 or above the maximum).
handle semaphore_create(std::int32_t initial_count, std::int32_t maximum_count);
void semaphore_close(handle semaphore);

// The record lives in a critical_section (types.h). The thread that holds a section may enter
// it again and must leave it as often, on POSIX too (a recursive mutex), as a
// CRITICAL_SECTION allows.
void critical_section_init(critical_section& section);
void critical_section_enter(critical_section& section);
void critical_section_leave(critical_section& section);
void critical_section_destroy(critical_section& section);

}  // namespace pt::platform
