// Windows backend: the fatal-error report, a message box.
#include <windows.h>

#include "ortolib/platform/private/report.h"

namespace pt::platform {

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

}  // namespace pt::platform
