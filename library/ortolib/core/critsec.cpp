// The lock over the platform's critical section; out of line, so that the public header needs
// only the section's storage, not the platform's calls.
#include "ortolib/core/critsec.h"

#include "ortolib/platform/private/sync.h"

namespace pt {

critsec::critsec() { platform::critical_section_init(section); }

critsec::~critsec() { platform::critical_section_destroy(section); }

void critsec::enter_section() { platform::critical_section_enter(section); }

void critsec::leave_section() { platform::critical_section_leave(section); }

}  // namespace pt
