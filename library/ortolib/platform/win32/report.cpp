// Windows: the fatal-error message box, the runtime's bounded formatter and exit statuses.
#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "ortolib/platform/platform.h"

namespace pt::platform {

const std::uint32_t exit_status_mask = 0xFFFFFFFF;
const char int64_length_modifier[] = "I64";

void fatal_message_show(const char* text, const char* caption) {
  // user32 is loaded here, not imported: a program that imports it pays for the start of the
  // windowing libraries at every start (10-15 ms under wine, a third of a small run), for a
  // box that is almost never shown.
  using message_box_routine = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
  HMODULE user32 = LoadLibraryA("user32.dll");
  FARPROC found = user32 != nullptr ? GetProcAddress(user32, "MessageBoxA") : nullptr;
  if (found == nullptr)
    return;
  // Through void (*)(), the type GCC accepts as a stand-in for any function.
  auto show = reinterpret_cast<message_box_routine>(reinterpret_cast<void (*)()>(found));
  show(nullptr, text, caption, MB_ICONERROR | MB_OK);
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
