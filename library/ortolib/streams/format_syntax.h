// How a percent directive of a format is read: flags, one length modifier, the conversion
// letter. One reading, shared by the formatting engine (format.cpp) and by the check of a
// literal format when a call is compiled (format_string.h), so the two cannot disagree.
#pragma once

#include <cstdint>

#include "ortolib/config.h"
#include "ortolib/streams/format_directives.h"

namespace pt::format_syntax {

// At most this many flag, width and precision characters follow the "%"; one more ends the
// output, as an unknown conversion does.
inline constexpr int flag_limit = 122;

// The flag, width and precision characters: space, "#", "+", "-", the digits and ".". The same
// set as the engine's format_flag_chars, for the compile-time check, which cannot read that
// global.
constexpr bool is_flag(char c) {
  return c == ' ' || c == '#' || c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9');
}

// The one order in which formatters read the flag characters: flags (space, "#", "+", "-",
// "0"), a width, then a point and a precision. Returns the index of the first of the count
// characters at flags that is out of that order ("%5-d", "%.2.3f"), or count when none is.
constexpr int first_misplaced_flag(const char* flags, int count) {
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  int i = 0;
  while (i < count && (flags[i] == ' ' || flags[i] == '#' || flags[i] == '+' || flags[i] == '-' ||
                       flags[i] == '0'))
    ++i;
  while (i < count && is_digit(flags[i]))
    ++i;
  if (i < count && flags[i] == '.') {
    ++i;
    while (i < count && is_digit(flags[i]))
      ++i;
  }
  return i;
}

enum class modifier : std::uint8_t {
  none,
  h,   // "h"
  hh,  // "hh", a checked call only
  l,   // "l"
  ll,  // "ll"
  L,   // "L"
  j,   // "j", a checked call only
  z,   // "z", a checked call only
};

// The conversion letters the engine knows: the rows of ORTO_FORMAT_DIRECTIVES.
constexpr bool is_conversion(char c) {
  switch (c) {
#define ORTO_CONVERSION_CASE(letter, kind, reads, writer) case letter:
    ORTO_FORMAT_DIRECTIVES(ORTO_CONVERSION_CASE)
#undef ORTO_CONVERSION_CASE
    return true;
    default: return false;
  }
}

// What follows a "%".
enum class shape : std::uint8_t {
  percent,        // "%%": one "%", no argument
  complete,       // flags, a modifier, a conversion letter
  no_conversion,  // a modifier, then no conversion letter: the letter is not consumed
  unknown,        // no modifier and no conversion letter (also "%" at the end of the format,
                  // and more than flag_limit flag characters): the output ends here
};

struct directive {
  shape form = shape::unknown;
  const char* flags = nullptr;  // the flag characters, right after the "%"
  int flag_count = 0;
  modifier length = modifier::none;
  char conversion = '\0';     // complete: the letter; otherwise the character where reading stopped
  const char* end = nullptr;  // the first character after the directive
};

// Reads the directive at percent (a "%"). The modifiers "hh", "j" and "z" are read only with
// c99_modifiers (a checked call, which prints every integer at its own width anyway); without
// them "%hhd" is "h" without a conversion, and "%zu" an unknown directive. is_flag_char decides
// the flag characters (the engine's format_flag_chars, or is_flag above).
template <class IsFlag>
constexpr directive read_directive(const char* percent, bool c99_modifiers, IsFlag is_flag_char) {
  directive result;
  const char* next = percent + 1;
  if (*next == '%') {
    result.form = shape::percent;
    result.end = next + 1;
    return result;
  }
  result.flags = next;
  while (result.flag_count < flag_limit && *next != '\0' && is_flag_char(*next)) {
    ++result.flag_count;
    ++next;
  }
  if (*next == 'L') {
    result.length = modifier::L;
  } else if (*next == 'h') {
    result.length = c99_modifiers && next[1] == 'h' ? modifier::hh : modifier::h;
  } else if (*next == 'l') {
    result.length = next[1] == 'l' ? modifier::ll : modifier::l;
  } else if (c99_modifiers && *next == 'j') {
    result.length = modifier::j;
  } else if (c99_modifiers && *next == 'z') {
    result.length = modifier::z;
  }
  next += result.length == modifier::hh || result.length == modifier::ll ? 2
          : result.length != modifier::none                              ? 1
                                                                         : 0;
  result.conversion = *next;
  if (is_conversion(*next)) {
    result.form = shape::complete;
    ++next;
  } else {
    result.form = result.length == modifier::none ? shape::unknown : shape::no_conversion;
  }
  result.end = next;
  return result;
}

}  // namespace pt::format_syntax
