// Example for the library overview (docs/LIBRARY.md): units and a chain of three. The
// declaration of units.cpp, for the tests that run it.
#pragma once

#include <ortolib/core/string.h>

namespace example {

// text run through the chain text_source -> upper_case -> line_numbers -> memory, with the
// head run synchronously or asynchronously; what reached the memory stream. failure: empty,
// or the unit that failed first and its message ("example::line_numbers: empty line 2").
pt::string numbered_shout(const char* text, bool asynchronous, pt::string& failure);

}  // namespace example
