// Private to the library (not installed): the platform's own bounded formatter, which the
// formatting engine hands single numeric directives to. Backend: format.cpp.
#pragma once

#include <cstddef>

namespace pt::platform {

// The platform's bounded formatter (_snprintf on Windows, snprintf on POSIX) for one
// directive and its argument. Returns the length written, or a negative value when the
// text does not fit into size bytes (the buffer's content is then undefined).
int format_bounded(char* buffer, std::size_t size, const char* directive, ...);

// The length modifier by which format_bounded reads a 64-bit integer ("ll" or "I64").
extern const char int64_length_modifier[];

}  // namespace pt::platform
