// An exception caught in one place to be thrown in another, later or on another thread: the
// library's own, which are thrown by pointer and owned by their catcher, never leak on the way.
#pragma once

#include "ortolib/config.h"

#include <exception>

namespace pt {

// Holds at most one exception. Not copyable; hand it over only while no thread uses it.
class pending_exception {
 public:
  pending_exception() = default;
  // Drops a kept exception that was never thrown (deleting a library exception).
  ~pending_exception();
  pending_exception(const pending_exception&) = delete;
  pending_exception& operator=(const pending_exception&) = delete;

  // Keeps the exception being handled; call it inside a catch block. When one is kept
  // already, the first stays and this one is dropped.
  void keep_current();
  bool has_exception() const { return static_cast<bool>(kept); }
  // Throws the kept exception and forgets it; nothing when none is kept.
  void rethrow();

 private:
  std::exception_ptr kept;
};

}  // namespace pt
