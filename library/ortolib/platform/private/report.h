// Private to the library (not installed): how a fatal error reaches the user. Backend:
// report.cpp.
#pragma once

namespace pt::platform {

// Shows a fatal error to the user and returns once it is acknowledged: a message box on
// Windows; the caption, ": ", the text and a line end on standard error on POSIX.
void fatal_message_show(const char* text, const char* caption);

}  // namespace pt::platform
