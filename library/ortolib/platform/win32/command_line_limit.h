// Windows backend, private: the longest command line a process can be started with. Only the
// files of this backend include it.
#pragma once

#include <cstddef>

namespace pt::platform {

// In UTF-16 characters, the terminating NUL included. The library counts the bytes of the ANSI
// line instead: each becomes at most one character, so no line it lets through is too long.
inline constexpr std::size_t command_line_limit = 32767;

}  // namespace pt::platform
