// Example for the library overview (docs/LIBRARY.md): units, their runs and a chain of two.
#pragma once

#include <ortolib/core/string.h>
#include <ortolib/units/unit.h>

namespace example {

// A unit that writes a text to its output.
class text_source : public pt::unit {
 public:
  explicit text_source(const pt::string& text) : text(text) {}
  pt::string text;

 protected:
  void work() override;
};

// A unit that copies its input to its output with ASCII letters in upper case.
class upper_case : public pt::unit {
 protected:
  void work() override;
};

// text run through the chain text_source -> upper_case -> memory, with the head run
// synchronously or asynchronously; what reached the memory stream.
pt::string shout(const char* text, bool asynchronous);

}  // namespace example
