// Example for the library overview (docs/LIBRARY.md): variants and the arrays they share.
// The declarations of variants.cpp, for the tests that run it.
#pragma once

#include <cstdint>

#include <ortolib/core/podlist.h>
#include <ortolib/core/string.h>
#include <ortolib/core/variant.h>

namespace example {

// An array variant with four items: the text "verbose", the integer 42, true and 0.5.
pt::variant make_settings();

// The text of every item of list, separator between them; empty when list holds no array.
pt::string join_items(const pt::variant& list, char separator);

// Every item of list replaced by its text followed by "!"; nothing when list holds no array.
void mark_items(pt::variant& list);

// Doubles every number in place and returns their new sum.
std::int64_t double_all(pt::tpodlist<std::int64_t>& numbers);

}  // namespace example
