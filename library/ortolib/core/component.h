// The root of the library's class tree and its reference-counted base class, with the
// operations that manage counted pointers and the scheme of the kind codes that name concrete
// classes.
#pragma once

#include <cstdint>

#include "ortolib/core/atomic.h"

namespace pt {

class _objlist;

// Gives every library object a virtual destructor, so it can be deleted through a base pointer.
class unknown {
 public:
  unknown() = default;
  unknown(const unknown&) = default;
  unknown& operator=(const unknown&) = default;
  virtual ~unknown();
};

// A reference-counted object (streams and units). Created with new and count 0; the creator
// stores it with assign_ref or addref, and the release that brings the count back to 0 deletes
// it. An object in static storage or on the stack is given one permanent reference by its owner,
// so no holder's release can delete it. Not copyable.
class component : public unknown {
 public:
  // Counted holders; changed only by atomic_increment and atomic_decrement.
  std::int32_t refcount = 0;
  // Components told by deletion_notice when this one is destroyed; null when there are none.
  // The list is owned, and deleted by the destructor.
  _objlist* deletion_receivers = nullptr;

  component() = default;
  component(const component&) = delete;
  component& operator=(const component&) = delete;
  ~component() override;

  // Called on each receiver while a component it watches is destroyed. Does nothing here.
  virtual void deletion_notice(component* being_destroyed);
  // Identifies the concrete class (the kind_ constants, below and beside each class); 0 here.
  virtual std::int32_t kind_code();

 protected:
  // Called by the release that brings the count to 0, just before it deletes the object, while
  // the object is still whole (no destructor has run): a class that must not be deleted in some
  // state says so here, with its own class name. Does nothing here.
  virtual void before_last_release();

  friend bool release(component* object);
};

// kind_code values. Low byte: the family (1 input stream, 2 output stream, 3 unit); second
// byte: the device (1 file, 2 memory); third byte: a refinement (1 log file over an output
// file). Callers compare the low 16 bits (kind_family_and_device). Each class's code is
// declared beside the class (kind_infile in streams/infile.h, kind_uexec in units/uexec.h).
inline constexpr std::int32_t kind_component = 0;
inline constexpr std::int32_t kind_family_and_device = 0xFFFF;

// Takes one reference (null is returned unchanged) and returns the same pointer.
component* addref(component* object);
template <class T>
T* addref(T* object) {
  addref(static_cast<component*>(object));
  return object;
}

// Drops one reference. True when the object is gone: deleted by this call, or null to begin
// with; false while other references remain. The caller must not use the object afterwards.
bool release(component* object);

// Puts object into a counted slot: takes the new reference first, exchanges the slot's content
// indivisibly, then releases what the slot held. Assigning the pointer a slot already holds
// therefore never deletes it, and two threads assigning to one slot each release exactly the
// pointer they displaced. Returns the slot.
template <class T, class U>
T*& assign_ref(T*& slot, U* object) {
  T* incoming = object;
  addref(incoming);
  T* displaced = atomic_exchange(&slot, incoming);
  release(displaced);
  return slot;
}

}  // namespace pt
