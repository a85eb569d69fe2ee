// POSIX backend: the fatal-error report, one line on standard error.
#include <unistd.h>

#include <cstdio>

#include "ortolib/platform/private/report.h"

namespace pt::platform {

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

}  // namespace pt::platform
