// Integers as text in any base from 2 to 64, with a minimum width and a fill character.
//
// Bases 2 to 36 write the digits 0-9 and A-Z. Bases 37 to 64 use the whole digit_alphabet, in
// which "." is zero, "/" one and "0" two. Only the signed form in base 10 writes a "-"; in every
// other case the 64 bits are converted as an unsigned number (-5 in base 16 is FFFFFFFFFFFFFFFB).
// Width pads to exactly width characters and never shortens; a "-" stays in front of the fill.
// A fill of 0 means a space in base 10, "." above base 36 and "0" otherwise.
// A base outside 2 to 64 gives the empty string.
#pragma once

#include <cstdint>

#include "ortolib/core/string.h"

namespace pt {

inline constexpr char digit_alphabet[] =
    "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

string int_to_string(std::int64_t value, std::int32_t base, std::int32_t width, char fill);
string uint_to_string(std::uint64_t value, std::int32_t base, std::int32_t width, char fill);

// Base 10, no width: the forms used for messages.
string int_to_decimal(std::int64_t value);
string uint32_to_decimal(std::uint32_t value);

}  // namespace pt
