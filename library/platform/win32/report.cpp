// Windows: the fatal-error message box, the runtime's bounded formatter and exit statuses.
#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

namespace pt::platform {

const std::uint32_t exit_status_mask = 0xFFFFFFFF;
const char int64_length_modifier[] = "I64";

void fatal_message_show(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_ICONERROR | MB_OK);
}

int format_bounded(char* buffer, std::size_t size, const char* directive, ...) {
  va_list arguments;
  va_start(arguments, directive);
  // The runtime's own _vsnprintf: -1 when the text does not fit, without terminating it.
  int length = _vsnprintf(buffer, size, directive, arguments);
  va_end(arguments);
  return length >= 0 && static_cast<std::size_t>(length) < size ? length : -1;
}

}  // namespace pt::platform
