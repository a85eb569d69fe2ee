// The library's one lock: a critical section over the platform's own, and a scoped holder
// that leaves it also when an exception passes out of the locked region.
#pragma once

#include "ortolib/platform/types.h"

namespace pt {

// Embedded by its owner; neither copyable nor counted. Entering it again on the thread that
// holds it does not block (the platform's sections are re-entrant). Nothing here reports
// failure.
class critsec {
 public:
  critsec();
  ~critsec();
  critsec(const critsec&) = delete;
  critsec& operator=(const critsec&) = delete;

  void enter_section();
  void leave_section();

 private:
  platform::critical_section section;
};

// Holds a critsec from construction to destruction; lives on the stack of the locking code.
class critsec_guard {
 public:
  explicit critsec_guard(critsec& section) : held(&section) { held->enter_section(); }
  ~critsec_guard() { held->leave_section(); }
  critsec_guard(const critsec_guard&) = delete;
  critsec_guard& operator=(const critsec_guard&) = delete;

 private:
  critsec* held;
};

}  // namespace pt
