// The thread that runs one unit asynchronously: the worker of a unit started with
// run_unit(true) or as a member of a chain.
#pragma once

#include "ortolib/units/thread.h"

namespace pt {

class unit;

// Not autofree: its unit owns it (unit::worker) and deletes it when the run is finished or the
// unit is destroyed; deleting it waits until its thread has ended. The thread starts from the
// constructor, so the unit's perform_run may begin before the constructor has returned.
// perform_run reports the library's exceptions itself; anything else that escapes it leaves
// the thread, which ends the process.
class unit_thread : public thread {
 public:
  unit* target_unit;  // the unit this thread runs; not counted

  explicit unit_thread(unit* target);
  // Waits for the thread (fatal 0xC002F when called on the thread itself).
  ~unit_thread() override;

 protected:
  void run() override;  // target_unit->perform_run()
};

}  // namespace pt
