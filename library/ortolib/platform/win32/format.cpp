// Windows backend: the runtime's bounded formatter, for the formatting engine's numeric
// directives.
#include <cstdarg>
#include <cstdio>

#include "ortolib/platform/private/format.h"

namespace pt::platform {

const char int64_length_modifier[] = "I64";

int format_bounded(char* buffer, std::size_t size, const char* directive, ...) {
  va_list arguments;
  va_start(arguments, directive);
  // The runtime's own _vsnprintf: -1 when the text does not fit, without terminating it.
  int length = _vsnprintf(buffer, size, directive, arguments);
  va_end(arguments);
  return length >= 0 && static_cast<std::size_t>(length) < size ? length : -1;
}

}  // namespace pt::platform
