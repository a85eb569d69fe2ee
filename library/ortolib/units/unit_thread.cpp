// The worker thread of a unit.
#include "ortolib/units/unit_thread.h"

#include "ortolib/units/unit.h"

namespace pt {

unit_thread::unit_thread(unit* target) : thread(false), target_unit(target) { launch(); }

unit_thread::~unit_thread() { waitfor(); }

void unit_thread::run() { target_unit->perform_run(); }

}  // namespace pt
