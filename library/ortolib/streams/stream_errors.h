// The stream error numbers (POSIX errno numbering) that estream carries, and their texts. The
// numbers, their names and texts are one table of the platform floor (error_numbers.h), which
// the OS layer maps OS errors onto.
#pragma once

#include "ortolib/config.h"

#include <cstdint>

#include "ortolib/platform/error_numbers.h"

namespace pt {

// The text of a stream error number, or null for a number without one (5 among them, so
// that an I/O error is reported in its raiser's own words). The texts are static.
inline const char* stream_error_text(std::int32_t number) { return error_number_text(number); }

}  // namespace pt
