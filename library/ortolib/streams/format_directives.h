// The conversion letters of the formatting engine, written once: the reader of directives
// (format_syntax.h), the check of a literal format (format_string.h) and the engine
// (format.cpp) each take from this table what they need, so a letter cannot be known to one
// and missing from another.
#pragma once

#include "ortolib/config.h"

// One row per conversion letter: X(letter, kind, reads, writer).
//
//   kind    what the engine takes from the argument list (format.cpp's argument_kind):
//           character and address the low 32 bits of an integer, timestamp 64 bits, integer
//           an integer of the width the length modifier names (a checked call: its own),
//           floating a double, text a C text, pointer an address
//   reads   the arguments a checked call accepts (format_syntax::accepted): integer,
//           real_or_integer, text, pointer_or_text
//   writer  the engine's function that writes the directive's text (format.cpp); the comment
//           after the row says what it writes, "formatter" being the platform's own
//
// Adding a letter: docs/ARCHITECTURE.md, "A new format directive".
#define ORTO_FORMAT_DIRECTIVES(X)                                                          \
  X('c', character, integer, write_character)       /* the byte; with flags: formatter */  \
  X('d', integer, integer, write_any_integer)       /* formatter, signed */                \
  X('i', integer, integer, write_any_integer)       /* formatter, signed */                \
  X('o', integer, integer, write_any_integer)       /* formatter, octal */                 \
  X('u', integer, integer, write_any_integer)       /* formatter, unsigned */              \
  X('x', integer, integer, write_any_integer)       /* formatter, hexadecimal */           \
  X('X', integer, integer, write_any_integer)       /* formatter, hexadecimal */           \
  X('s', text, text, write_string)                  /* the bytes; with flags: formatter */ \
  X('p', pointer, pointer_or_text, write_pointer)   /* formatter */                        \
  X('e', floating, real_or_integer, write_floating) /* formatter */                        \
  X('E', floating, real_or_integer, write_floating) /* formatter */                        \
  X('f', floating, real_or_integer, write_floating) /* formatter */                        \
  X('g', floating, real_or_integer, write_floating) /* formatter */                        \
  X('G', floating, real_or_integer, write_floating) /* formatter */                        \
  X('a', address, integer, write_address)           /* an IPv4 address, "127.0.0.1" */     \
  X('t', timestamp, integer, write_short_timestamp) /* strftime, short_time_format */      \
  X('T', timestamp, integer, write_long_timestamp)  /* strftime, long_time_format */

namespace pt::format_syntax {

// The arguments a checked call accepts for a directive: the table's reads column.
enum class accepted : unsigned char {
  integer,          // an integer
  real_or_integer,  // a real, or an integer made a double
  text,             // a text
  pointer_or_text,  // a pointer, or a text's address
};

// A letter and what a checked call accepts for it, from the table.
struct conversion_row {
  char letter;
  accepted reads;
};

#define ORTO_CONVERSION_ROW(letter, kind, reads, writer) {letter, accepted::reads},
inline constexpr conversion_row conversion_rows[] = {ORTO_FORMAT_DIRECTIVES(ORTO_CONVERSION_ROW)};
#undef ORTO_CONVERSION_ROW

}  // namespace pt::format_syntax
