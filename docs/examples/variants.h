// Example for the library overview (docs/LIBRARY.md): variants and the arrays they share.
#pragma once

#include <ortolib/core/string.h>
#include <ortolib/core/variant.h>

namespace example {

// An array variant with four items: the text "verbose", the integer 42, true and 0.5.
pt::variant make_settings();

// The text of every item of list, separator between them; empty when list holds no array.
pt::string join_items(const pt::variant& list, char separator);

}  // namespace example
