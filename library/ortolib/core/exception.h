// The library's exception: a message string, thrown by pointer for conditions a caller meets in
// normal work (misuse and exhausted memory are fatal errors instead, see fatal.h).
//
// Convention: the raiser allocates it with new and throws the pointer,
//   throw new exception(message);
// the catcher catches pointer to exception (which also catches derived stream errors), reads
// get_message and deletes the object through the virtual destructor.
#pragma once

#include "ortolib/core/component.h"
#include "ortolib/core/string.h"

namespace pt {

class exception : public unknown {
 public:
  string message;  // the error text; the exception holds one reference to it

  explicit exception(const string& message) : message(message) {}
  ~exception() override;

  // A new reference to the message, owned by the caller.
  virtual string get_message();
};

}  // namespace pt
