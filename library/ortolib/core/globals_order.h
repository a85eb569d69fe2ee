// The library's start-up and program-end order. Every header that declares a library global
// includes this one, so each translation unit that can see a global first constructs a
// globals_order object (a "nifty counter", as <iostream> does for the standard streams).
// The first of them to be constructed builds all globals, in one fixed order, before any static
// object that comes after the include; the last to be destroyed takes them down in reverse,
// after every such object. The order depends neither on link order nor on which unit is
// initialised first. The list itself, which defines this class, is globals/globals_list.cpp:
// it builds the standard streams as well, so it sits above them.
#pragma once

#include "ortolib/config.h"

namespace pt {

class globals_order {
 public:
  // Runs during static initialisation, where nothing could catch an exception: a failure to
  // start the library ends the program.
  globals_order() noexcept;
  ~globals_order();
  globals_order(const globals_order&) = delete;
  globals_order& operator=(const globals_order&) = delete;
};

// One per translation unit.
static globals_order globals_order_counter;

}  // namespace pt
