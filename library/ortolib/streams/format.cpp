// The formatting engine: parses each directive itself, so that only a directive it has
// checked (with the argument widths it chose) ever reaches the platform's formatter.
#include "ortolib/streams/format.h"

#include <cstdint>
#include <cstring>
#include <ctime>

#include "ortolib/core/charset.h"
#include "ortolib/core/datetime.h"
#include "ortolib/platform/private/format.h"
#include "ortolib/streams/format_flags.h"
#include "ortolib/streams/outstm.h"

namespace pt {

constinit const char* short_time_format = "%d-%b-%Y %X";
constinit const char* long_time_format = "%a %b %d %X %Y";

namespace {

// What a directive reads and how its text is made; fixed while it is parsed.
enum class directive_kind {
  none,             // no length modifier and no conversion yet
  character,        // c: int
  short_integer,    // h: int, printed as a short
  integer,          // d i o u x X: int
  long_integer,     // l: int (32 bits on every platform)
  integer_64,       // ll: 64-bit integer
  text,             // s: const char*
  pointer,          // p: a pointer
  floating,         // e E f g G: double
  long_floating,    // L: double as well
  address,          // a: 32-bit IPv4 address, lowest byte first
  short_timestamp,  // t: timestamp
  long_timestamp,   // T: timestamp
};

// "%", at most 122 flag characters, a modifier of up to 3 ("I64"), the conversion, a NUL.
constexpr int directive_size = 128;
constexpr int flag_prefix_limit = 123;
// The text of one directive.
constexpr int output_size = 4096;

bool is_integer_conversion(char c) {
  return c == 'd' || c == 'i' || c == 'o' || c == 'u' || c == 'x' || c == 'X';
}

bool is_floating_conversion(char c) {
  return c == 'e' || c == 'E' || c == 'f' || c == 'g' || c == 'G';
}

bool has_integer_width(directive_kind kind) {
  return kind == directive_kind::short_integer || kind == directive_kind::long_integer ||
         kind == directive_kind::integer_64;
}

// The kind the conversion letter gives, or none when it is no conversion.
directive_kind kind_of_conversion(char c, directive_kind modified) {
  if (is_integer_conversion(c))
    return has_integer_width(modified) ? modified : directive_kind::integer;
  if (is_floating_conversion(c))
    return modified == directive_kind::long_floating ? modified : directive_kind::floating;
  switch (c) {
    case 'c': return directive_kind::character;
    case 's': return directive_kind::text;
    case 'p': return directive_kind::pointer;
    case 'a': return directive_kind::address;
    case 't': return directive_kind::short_timestamp;
    case 'T': return directive_kind::long_timestamp;
    default: return directive_kind::none;
  }
}

int render_timestamp(char (&text)[output_size], const char* pattern, timestamp t) {
  if (pattern == nullptr)
    return 0;
  std::tm record;
  if (to_calendar(t < 0 ? 0 : t, record) == nullptr)
    return 0;  // beyond the last calendar day: nothing is rendered from a missing record
  return static_cast<int>(std::strftime(text, output_size, pattern, &record));
}

}  // namespace

void write_formatted(outstm& stream, const char* format, va_list arguments) {
  if (format == nullptr)
    return;
  char directive[directive_size];
  char text[output_size];
  const char* next = format;
  while (*next != '\0') {
    const char* percent = std::strchr(next, '%');
    if (percent == nullptr) {
      stream.write_bytes(next, std::strlen(next));
      return;
    }
    if (percent > next)
      stream.write_bytes(next, static_cast<std::size_t>(percent - next));
    next = percent + 1;
    if (*next == '%') {
      stream.put_byte('%');
      ++next;
      continue;
    }

    // Flags, width and precision, copied as they stand.
    int length = 0;
    directive[length++] = '%';
    while (length < flag_prefix_limit &&
           charset_contains(format_flag_chars, static_cast<std::uint8_t>(*next)))
      directive[length++] = *next++;
    const bool has_flags = length > 1;

    // At most one length modifier; it names the argument's width, not the formatter's.
    directive_kind modified = directive_kind::none;
    if (*next == 'L') {
      modified = directive_kind::long_floating;
      ++next;
    } else if (*next == 'h') {
      modified = directive_kind::short_integer;
      ++next;
    } else if (*next == 'l' && next[1] == 'l') {
      modified = directive_kind::integer_64;
      next += 2;
    } else if (*next == 'l') {
      modified = directive_kind::long_integer;
      ++next;
    }

    const char conversion = *next;
    directive_kind kind = kind_of_conversion(conversion, modified);
    if (kind == directive_kind::none) {
      if (modified == directive_kind::none)
        return;  // not a directive: the output ends here
      // The directive still takes its argument, so that the following ones get theirs; it
      // writes nothing, and the letter stays unconsumed to be written as text.
      // The branches differ only in the type va_arg reads, which the clone check overlooks.
      if (modified == directive_kind::integer_64)
        (void)va_arg(arguments, long long);  // NOLINT(bugprone-branch-clone)
      else if (modified == directive_kind::long_floating)
        (void)va_arg(arguments, double);
      else
        (void)va_arg(arguments, int);
      continue;
    }
    ++next;

    // The formatter sees a modifier only where it reads the width the table gives: "h" (an
    // int shown as a short) and the platform's own 64-bit modifier. "l" and "L" are dropped,
    // as POSIX reads 64 bits and a long double for them; c, s and p get none ("%ls" would
    // read a wide text).
    if (is_integer_conversion(conversion)) {
      if (kind == directive_kind::short_integer) {
        directive[length++] = 'h';
      } else if (kind == directive_kind::integer_64) {
        for (const char* m = platform::int64_length_modifier; *m != '\0'; ++m)
          directive[length++] = *m;
      }
    }
    directive[length++] = conversion;
    directive[length] = '\0';

    int produced = 0;
    switch (kind) {
      case directive_kind::character: {
        int value = va_arg(arguments, int);
        if (!has_flags)
          stream.put_byte(static_cast<char>(value));
        else
          produced = platform::format_bounded(text, output_size, directive, value);
        break;
      }
      // NOLINTNEXTLINE(bugprone-branch-clone): these differ in the type va_arg reads
      case directive_kind::short_integer:
      case directive_kind::integer:
      case directive_kind::long_integer:
        produced = platform::format_bounded(text, output_size, directive, va_arg(arguments, int));
        break;
      case directive_kind::integer_64:
        produced =
            platform::format_bounded(text, output_size, directive, va_arg(arguments, long long));
        break;
      case directive_kind::pointer:
        produced = platform::format_bounded(text, output_size, directive, va_arg(arguments, void*));
        break;
      case directive_kind::text: {
        // A null text writes nothing, with flags as without: the formatters disagree on it.
        const char* value = va_arg(arguments, const char*);
        if (value == nullptr)
          break;
        if (!has_flags)
          stream.write_text(value);
        else
          produced = platform::format_bounded(text, output_size, directive, value);
        break;
      }
      case directive_kind::floating:
      case directive_kind::long_floating:
        produced =
            platform::format_bounded(text, output_size, directive, va_arg(arguments, double));
        break;
      case directive_kind::address: {
        unsigned value = va_arg(arguments, unsigned);
        produced = platform::format_bounded(
            text, output_size, "%d.%d.%d.%d", static_cast<int>(value & 0xFF),
            static_cast<int>(value >> 8 & 0xFF), static_cast<int>(value >> 16 & 0xFF),
            static_cast<int>(value >> 24));
        break;
      }
      case directive_kind::short_timestamp:
        produced = render_timestamp(text, short_time_format, va_arg(arguments, std::int64_t));
        break;
      case directive_kind::long_timestamp:
        produced = render_timestamp(text, long_time_format, va_arg(arguments, std::int64_t));
        break;
      case directive_kind::none: break;
    }
    // A text that did not fit (a negative length) is left out; the format goes on.
    if (produced > 0)
      stream.write_block(text, produced);
  }
}

}  // namespace pt
