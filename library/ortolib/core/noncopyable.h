// A base without data that forbids copying, for classes that own storage by raw pointer.
#pragma once

#include "ortolib/config.h"

namespace pt {

class noncopyable {
 protected:
  noncopyable() = default;
  ~noncopyable() = default;

 public:
  noncopyable(const noncopyable&) = delete;
  noncopyable& operator=(const noncopyable&) = delete;
};

}  // namespace pt
