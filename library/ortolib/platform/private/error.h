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

// Maps an OS error to one of the library's error numbers (error_numbers.h); anything the
// backend's map does not know is error_io. A failure reads alike on both systems: an errno
// gets the number of its Windows counterpart.
int stream_error_number(os_error error);

}  // namespace pt::platform
