// Storage for a library global that the compiler neither constructs nor destroys: the start-up
// list (globals/globals_list.cpp) builds the object in place and takes it down, in its fixed order.
// The slot is constant-initialised, so a reference to its value can be bound before any code runs.
#pragma once

#include "ortolib/config.h"

#include <new>
#include <utility>

namespace pt {

template <class T>
union global_slot {
  char unbuilt;
  T value;

  constexpr global_slot() noexcept : unbuilt() {}
  ~global_slot() {}  // the value is destroyed by destroy(), not here

  template <class... Arguments>
  void build(Arguments&&... arguments) {
    ::new (static_cast<void*>(&value)) T(std::forward<Arguments>(arguments)...);
  }
  void destroy() { value.~T(); }
};

}  // namespace pt
