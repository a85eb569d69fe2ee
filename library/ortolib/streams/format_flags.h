// The set of characters the formatting engine accepts between "%" and the conversion letter:
// flags, field width and precision. Built at start-up, before any stream exists.
#pragma once

#include "ortolib/core/charset.h"
#include "ortolib/core/globals_order.h"

namespace pt {

// " #+~-0-9.": space, "#", "+", "-" (escaped, not a range), the digits and "."; 15 members.
// "*" is not among them.
inline constexpr char format_flag_pattern[] = " #+~-0-9.";

extern charset& format_flag_chars;

}  // namespace pt
