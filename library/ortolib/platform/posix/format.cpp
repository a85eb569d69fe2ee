// POSIX backend: the C library's bounded formatter, for the formatting engine's numeric
// directives.
#include <cstdarg>
#include <cstdio>

#include "ortolib/platform/private/format.h"

namespace pt::platform {

const char int64_length_modifier[] = "ll";

int format_bounded(char* buffer, std::size_t size, const char* directive, ...) {
  va_list arguments;
  va_start(arguments, directive);
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above has initialised it
  int length = std::vsnprintf(buffer, size, directive, arguments);
  va_end(arguments);
  // snprintf reports the length the whole text would need; _snprintf reports failure.
  return length >= 0 && static_cast<std::size_t>(length) < size ? length : -1;
}

}  // namespace pt::platform
