// POSIX: the fatal-error report, the bounded formatter and what a parent sees of an exit status.
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ortolib/platform/platform.h"

namespace pt::platform {

const std::uint32_t exit_status_mask = 0xFF;
const char int64_length_modifier[] = "ll";

void fatal_message_show(const char* text, const char* caption) {
  // One write, so the line is not torn by output from other threads.
  char line[2304];
  int length = std::snprintf(line, sizeof line, "%s: %s\n", caption, text);
  if (length < 0)
    return;
  if (static_cast<std::size_t>(length) >= sizeof line)
    length = sizeof line - 1;
  for (const char* p = line; length > 0;) {
    ssize_t written = ::write(STDERR_FILENO, p, static_cast<std::size_t>(length));
    if (written <= 0)
      return;
    p += written;
    length -= static_cast<int>(written);
  }
}

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
