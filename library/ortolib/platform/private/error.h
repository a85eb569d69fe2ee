// Private to the library (not installed): OS errors, as every failing call of the platform
// layer records them, and their mapping to the streams' error numbers. Backend: error.cpp.
#pragma once

#include <cstdint>

namespace pt::platform {

// A raw OS error number: errno on POSIX, GetLastError() on Windows.
using os_error = std::uint32_t;

// The error of the last call of this layer that failed on the calling thread. Every failing
// call captures it at once, before anything else can overwrite it.
os_error last_error();

// Maps an OS error to the library's stream error number (POSIX errno numbering):
// 2, 5, 9, 12, 13, 17, 19, 24, 27, 28, 29, 30 or 32; anything the table does not know is 5.
// A failure reads alike on both systems: an errno gets the number of its Windows counterpart.
int stream_error_number(os_error error);

}  // namespace pt::platform
