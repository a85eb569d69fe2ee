// A counted pointer to a component: takes a reference when it gets the object and gives it
// back when it lets go, so that every path, a thrown one included, releases what it holds.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

#include "ortolib/core/component.h"

namespace pt {

// ref<T> holds one reference to a T (a component: a stream, a unit) or nothing:
//
//   ref<outmemory> memory(new outmemory);        // count 1
//   ref<outmemory> other = memory;               // count 2
//   assign_ref(program->output_stream, memory);  // 3: the slot holds a reference of its own
//   // ... each ref releases its reference when it is destroyed
//
// Copying takes a reference, moving hands it over, destruction releases it (deleting the object
// with the last one). Assignment works as assign_ref does: the new reference is taken before the
// holder's content is exchanged and the old one released, so assigning an object to a ref that
// already holds it never deletes it. One ref is changed by one thread at a time; the object
// may be held by refs on several threads.
//
// T may be incomplete wherever a ref<T> is declared, copied, moved, assigned from another
// ref<T>, compared or destroyed: a class can hold a ref to its own kind, and a pimpl a ref to a
// class only its source file defines. The ref keeps the object as the component it counts, so
// none of these needs to know how T derives from component. T must be complete where a ref
// is made from a T* (make_ref, the constructor, reset) or from a ref to a derived class, and
// where the object is reached through it (get, ->, *).
template <class T>
class ref {
 public:
  ref() noexcept = default;
  ref(std::nullptr_t) noexcept {}
  // Takes a reference to object (a new one, with count 0, then has count 1); null holds nothing.
  explicit ref(T* object) noexcept : held(addref(counted(object))) {}
  ref(const ref& other) noexcept : held(addref(other.held)) {}
  ref(ref&& other) noexcept : held(std::exchange(other.held, nullptr)) {}
  // From a ref to a derived class.
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ref(const ref<U>& other) noexcept : held(addref(counted(other.get()))) {}
  ~ref() { release(held); }

  ref& operator=(const ref& other) noexcept {
    if (this != &other)
      assign_ref(held, other.held);
    return *this;
  }
  ref& operator=(ref&& other) noexcept {
    if (this != &other)
      release(std::exchange(held, std::exchange(other.held, nullptr)));
    return *this;
  }
  ref& operator=(std::nullptr_t) noexcept {
    release(std::exchange(held, nullptr));
    return *this;
  }

  // Holds object instead (taking its reference first), releasing what was held.
  void reset(T* object) noexcept { assign_ref(held, counted(object)); }
  void reset(std::nullptr_t = nullptr) noexcept { release(std::exchange(held, nullptr)); }

  T* get() const noexcept { return static_cast<T*>(held); }
  T* operator->() const noexcept { return get(); }
  T& operator*() const noexcept { return *get(); }
  explicit operator bool() const noexcept { return held != nullptr; }

  friend bool operator==(const ref& left, const ref& right) noexcept {
    return left.held == right.held;
  }
  friend bool operator==(const ref& left, std::nullptr_t) noexcept { return left.held == nullptr; }

 private:
  component* held = nullptr;  // the object, as the component whose count the ref holds

  // The object as the component to count; here T must be complete.
  static component* counted(T* object) noexcept {
    static_assert(std::is_base_of_v<component, T>, "ref holds a component");
    return object;
  }
};

// A new T built from arguments, held by a ref (count 1).
template <class T, class... Arguments>
ref<T> make_ref(Arguments&&... arguments) {
  return ref<T>(new T(std::forward<Arguments>(arguments)...));
}

// Puts the object a ref holds into a counted slot, as assign_ref with the pointer does: the
// slot takes a reference of its own, the ref keeps its one.
template <class T, class U>
T*& assign_ref(T*& slot, const ref<U>& object) {
  return assign_ref(slot, object.get());
}

}  // namespace pt
