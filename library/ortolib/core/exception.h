// The library's exception: a message string, thrown by pointer for conditions a caller meets in
// normal work (misuse and exhausted memory are fatal errors instead, see fatal.h), and caught,
// the holder that deletes a caught one on every path.
//
// Convention: the raiser allocates it with new and throws the pointer,
//   throw new exception(message);
// the catcher catches pointer to exception (which also catches derived stream errors), reads
// get_message and deletes the object through the virtual destructor. A handler for
// exception& or std::exception& catches none of them.
#pragma once

#include <utility>

#include "ortolib/core/component.h"
#include "ortolib/core/string.h"

namespace pt {

class exception : public unknown {
 public:
  string message;  // the error text; the exception holds one reference to it

  explicit exception(const string& text) : message(text) {}
  ~exception() override;

  // A new reference to the message, owned by the caller.
  virtual string get_message() const;
};

// Owns a caught exception and deletes it when it goes out of scope, also when the handler
// leaves by a throw or a return:
//
//   try { ... } catch (pt::exception* thrown) {
//     pt::caught error(thrown);
//     report(error.message());
//   }
//
// E is exception or a class derived from it (caught<estream> reads error_code). Movable, so
// it can carry the exception out of the handler; not copyable.
template <class E = exception>
class caught {
 public:
  explicit caught(E* thrown) noexcept : held(thrown) {}
  caught(caught&& other) noexcept : held(std::exchange(other.held, nullptr)) {}
  caught& operator=(caught&& other) noexcept {
    if (this != &other)
      delete std::exchange(held, std::exchange(other.held, nullptr));
    return *this;
  }
  caught(const caught&) = delete;
  caught& operator=(const caught&) = delete;
  ~caught() { delete held; }

  E* get() const noexcept { return held; }
  E* operator->() const noexcept { return held; }
  E& operator*() const noexcept { return *held; }
  // The exception's message; empty when nothing is held (after a move).
  string message() const { return held != nullptr ? held->get_message() : string(); }

 private:
  E* held;
};

}  // namespace pt
