// The formatting engine behind outstm::vformat: percent directives parsed here, numbers
// rendered one directive at a time by the platform's bounded formatter, strings and characters
// written directly, plus "a" (IPv4 address) and "t" / "T" (timestamps).
#pragma once

#include "ortolib/config.h"

#include <cstdarg>
#include <cstdint>

namespace pt {

class outstm;
struct format_arg;

// strftime patterns of the "t" and "T" directives, read at each such directive. Constant
// from start-up on.
extern const char* short_time_format;  // "%d-%b-%Y %X"
extern const char* long_time_format;   // "%a %b %d %X %Y"

// Writes format onto stream, taking one argument from arguments per directive:
//
//   directive                      argument            text
//   %c                             int                 the byte itself (with flags: formatter)
//   %d %i %o %u %x %X, %h..        32-bit int          formatter (%h.. as a short)
//   %l d i o u x X                 long                formatter: the platform's long, 64 bits
//                                                      on Linux, 32 on Windows
//   %ll d i o u x X                64-bit int          formatter
//   %s                             const char*         the text (null: nothing, flags or not)
//   %p                             pointer             formatter
//   %e %E %f %g %G, %L..           double              formatter
//   %a                             32-bit unsigned     "%d.%d.%d.%d", lowest byte first
//   %t %T                          64-bit timestamp    strftime with the patterns above
//   %%                             none                "%"
//
// Flags, width and precision are the characters of format_flag_chars (not "*"). A directive
// with a length modifier but no conversion letter takes its argument, writes nothing, and the
// letter is written as text. A directive with neither (an unknown letter, "*", "n", "%" after
// flags, a lone "%" at the end, more than 122 flag characters) ends the output there, reading
// no further argument. Every directive's text is written whole, with its padding and
// precision, whatever its length: a text that fits 4096 bytes from a buffer on the stack, a
// longer one in pieces (the formatter renders it at a width and precision that fit, and the
// runs of padding and of a precision's zeros follow on their own), so no directive allocates
// or costs the formatter more than a few buffers' worth of work. Where flags, width, point and
// precision come in that order, a width or precision beyond the int range, which no formatter
// reads, writes nothing; in any other order the formatter prints part of the directive as
// text. A timestamp outside the calendar writes nothing. Stream errors pass through.
void write_formatted(outstm& stream, const char* format, va_list arguments);

// The same with the count arguments of a checked call (format_args.h, format_string.h), each
// of a kind. Each directive reads the next argument when it is of a kind that directive reads:
//
//   directive                      reads                          printed
//   %d %i %o %u %x %X              an integer                     at the width and signedness
//                                                                 of its own type (below)
//   %c %a                          an integer                     its low 32 bits
//   %t %T                          an integer                     kept at 64 bits
//   %e %E %f %g %G %L..            a real or an integer           as a double
//   %s                             a text                         up to its first NUL
//   %p                             a pointer or a text            its address
//
// An integer ignores the directive's length modifier, which may also be "hh", "j" or "z":
// %d prints a signed type's value and an unsigned type's as unsigned, %o %u %x %X its bits at
// its own width (-1 as a short is ffff), so no value is cut. Whatever cannot be read is marked
// in the text, and the rest of the format is written:
//
//   "%!d(text)"          the argument is of another kind (integer, real, text, pointer)
//   "%!s(missing)"       no argument is left for the directive
//   "%!(extra integer)"  after the format, one for each argument no directive read
//   "%!5-(unknown)"      a directive the engine does not know, flag characters out of their
//                        order, or a modifier without a conversion: as far as it was read,
//                        and the output ends there
//
// A literal format of outstm::format is checked when the call is compiled, so its text never
// holds a marker.
void write_formatted(outstm& stream, const char* format, const format_arg* arguments,
                     std::int32_t count);

}  // namespace pt
