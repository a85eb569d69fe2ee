// Formatted output into a string: the checked format of outstm::format, written into a new
// pt::string instead of onto a stream of the caller's own.
#pragma once

#include <cstdint>

#include "ortolib/core/string.h"
#include "ortolib/streams/format_args.h"
#include "ortolib/streams/format_string.h"

namespace pt {

// The engine behind format_to_string, given the checked arguments.
string format_to_string_from(const char* format, const format_arg* arguments, std::int32_t count);

// The text that outstm::format would write, as a new string:
//
//   pt::string line = pt::format_to_string("%s: %zu items", name, items.size());
//
// The format is checked as outstm::format checks it: a literal when the call is compiled,
// runtime_format(text) as it is written. Allocates the string only; a text beyond the longest
// string is the fatal "String overflow".
template <class... Arguments>
string format_to_string(format_string<Arguments...> format, const Arguments&... arguments) {
  const auto list = make_format_args(arguments...);
  return format_to_string_from(format.text(), list.data(), static_cast<std::int32_t>(list.size()));
}

}  // namespace pt
