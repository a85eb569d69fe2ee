// The formatting engine: parses each directive itself, so that only a directive it has
// checked (with the argument widths it chose) ever reaches the platform's formatter.
#include "ortolib/streams/format.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "ortolib/core/charset.h"
#include "ortolib/core/datetime.h"
#include "ortolib/platform/private/format.h"
#include "ortolib/streams/format_args.h"
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

// The field width and precision that the platform formatter reads from a directive's flag
// characters. The formatters read them in one order only: flags, the width, then a point and
// the precision. In any other order (a flag after the width, a second point) they print part of
// the directive as text instead, and neither number sizes any text.
struct field_size {
  bool in_order = false;
  bool alternate_form = false;  // "#"
  bool sign_flag = false;       // "+" or " "
  std::int64_t width = 0;
  std::int64_t precision = -1;  // -1: none
  int precision_at = 0;         // index of the precision's first digit in the directive
};

// Numbers are read up to one past the int range, which the formatters cannot read.
constexpr std::int64_t beyond_int = std::int64_t{INT_MAX} + 1;

std::int64_t append_digit(std::int64_t number, char digit) {
  return std::min(number * 10 + (digit - '0'), beyond_int);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

field_size read_field_size(const char* directive, int length) {
  field_size field;
  int i = 1;
  for (; i < length && std::strchr(" #+-0", directive[i]) != nullptr; ++i) {
    field.alternate_form |= directive[i] == '#';
    field.sign_flag |= directive[i] == '+' || directive[i] == ' ';
  }
  for (; i < length && is_digit(directive[i]); ++i)
    field.width = append_digit(field.width, directive[i]);
  if (i < length && directive[i] == '.') {
    field.precision = 0;
    field.precision_at = ++i;
    for (; i < length && is_digit(directive[i]); ++i)
      field.precision = append_digit(field.precision, directive[i]);
  }
  field.in_order = i == length;
  return field;
}

// Shortens a precision above what can change a text the buffer holds. Above 4096, a text that
// the precision lengthens does not fit either way, and one that it only bounds (the bytes of a
// string; what a formatter ignores, as for "c") is the same. For "g" and "G" without "#" it
// only bounds the significant digits, and a double has at most 767. So the formatter never
// works on more than a buffer's worth. The digits only get fewer, so the directive stays in
// its buffer; field keeps the precision as written.
void shorten_precision(char (&directive)[directive_size], int& length, const field_size& field,
                       char conversion) {
  const bool bounds_digits = (conversion == 'g' || conversion == 'G') && !field.alternate_form;
  const int limit = bounds_digits ? 767 : output_size;
  if (field.in_order && field.precision > limit)
    length = static_cast<int>(
        std::to_chars(directive + field.precision_at, directive + directive_size, limit).ptr -
        directive);
}

// True when a directive's text certainly has output_size characters or more, so the formatter
// would only report that it does not fit: its width alone says so, or `least`, the fewest
// characters its value takes. A precision beyond the int range writes nothing as well: POSIX
// formatters report it as an overflow, and the Windows runtime would read it cut to 32 bits.
// Out of order, the directive's numbers size nothing and it is left to the formatter.
bool cannot_fit(const field_size& field, std::int64_t least) {
  return field.in_order &&
         (field.width >= output_size || field.precision >= beyond_int || least >= output_size);
}

// The fewest characters an integer takes: as many digits as the precision asks for, its sign,
// and the "0x" of "#x".
template <class T>
std::int64_t integer_least(const field_size& field, char conversion, T value) {
  const bool is_signed = conversion == 'd' || conversion == 'i';
  const bool prefixed = (conversion == 'x' || conversion == 'X') && field.alternate_form;
  return std::max<std::int64_t>(field.precision, 0) +
         (is_signed && (value < 0 || field.sign_flag) ? 1 : 0) + (prefixed && value != 0 ? 2 : 0);
}

// The digits "f" writes before the point of a finite magnitude, at a precision so large that
// nothing is rounded (see floating_least). Doubles from 2^53 on are integers, which "%.0f"
// writes exactly in at most 309 digits; scratch receives them.
std::int64_t integer_digits(char (&scratch)[output_size], double magnitude) {
  if (magnitude >= 0x1p53)
    return platform::format_bounded(scratch, output_size, "%.0f", magnitude);
  std::int64_t digits = 1;
  for (auto n = static_cast<std::uint64_t>(magnitude); n >= 10; n /= 10)
    ++digits;
  return digits;
}

// The fewest characters a double takes: for "e", "E", "f" and "#g", the digits the precision
// asks for with the point, sign and exponent; for "f" the digits before the point as well,
// where they can decide (309 at most, at precisions above the 1074 decimals a double can
// have, so none is rounded). "g" without "#" drops trailing zeros: nothing certain there.
// Infinities and NaNs are left to the formatter, as runtimes write them differently ("inf",
// "1.#INF00").
std::int64_t floating_least(char (&scratch)[output_size], const field_size& field, char conversion,
                            double value) {
  if (!std::isfinite(value))
    return 0;
  const std::int64_t precision = field.precision < 0 ? 6 : field.precision;
  const std::int64_t sign = value < 0 || field.sign_flag ? 1 : 0;
  const std::int64_t point = precision > 0 || field.alternate_form ? 1 : 0;
  switch (conversion) {
    case 'f':
      if (sign + 309 + point + precision < output_size)
        return 0;  // fits, whatever the value
      return sign + integer_digits(scratch, std::fabs(value)) + point + precision;
    case 'e':
    case 'E': return sign + 1 + point + precision + 4;  // "e+dd" at least
    default:  // g, G: precision significant digits, kept with "#", and the point
      return field.alternate_form ? sign + std::max<std::int64_t>(precision, 1) + 1 : 0;
  }
}

// The bytes of a string that the formatter takes: up to the precision, and no more than
// output_size, which already cannot fit.
std::int64_t string_least(const field_size& field, const char* value) {
  const std::int64_t bound =
      field.precision >= 0 ? std::min<std::int64_t>(field.precision, output_size) : output_size;
  // memchr stops at the first NUL, so it reads no further than the string does.
  const void* end = std::memchr(value, '\0', static_cast<std::size_t>(bound));
  return end == nullptr ? bound : static_cast<const char*>(end) - value;
}

int render_timestamp(char (&text)[output_size], const char* pattern, timestamp t) {
  if (pattern == nullptr)
    return 0;
  std::tm record;
  if (to_calendar(t < 0 ? 0 : t, record) == nullptr)
    return 0;  // beyond the last calendar day: nothing is rendered from a missing record
  return static_cast<int>(std::strftime(text, output_size, pattern, &record));
}

// The arguments of a C-variadic call: every read takes the next argument as the type the
// directive names; the caller answers for the types.
class variadic_source {
 public:
  // A copy of the caller's list, so that it is read through an object of its own whatever
  // va_list is, and ended on every path.
  explicit variadic_source(va_list caller_list) { va_copy(arguments, caller_list); }
  ~variadic_source() { va_end(arguments); }
  variadic_source(const variadic_source&) = delete;
  variadic_source& operator=(const variadic_source&) = delete;

  bool int32(std::int32_t& value) {
    value = va_arg(arguments, int);
    return true;
  }
  bool int64(std::int64_t& value) {
    value = va_arg(arguments, long long);
    return true;
  }
  bool real(double& value) {
    value = va_arg(arguments, double);
    return true;
  }
  bool text(const char*& value) {
    value = va_arg(arguments, const char*);
    return true;
  }
  bool pointer(const void*& value) {
    value = va_arg(arguments, const void*);
    return true;
  }
  // Takes the argument of a directive that has a length modifier and no conversion.
  // The branches differ only in the type va_arg reads, which the clone check overlooks.
  void skip(directive_kind modified) {
    if (modified == directive_kind::integer_64)
      (void)va_arg(arguments, long long);  // NOLINT(bugprone-branch-clone)
    else if (modified == directive_kind::long_floating)
      (void)va_arg(arguments, double);
    else
      (void)va_arg(arguments, int);
  }

 private:
  va_list arguments;
};

// The arguments of a checked call, each with its kind: a read converts the next argument to
// what the directive reads (an integer narrowed to 32 bits or kept at 64, an integer made a
// double), or fails when the argument is of another kind or missing.
class checked_source {
 public:
  checked_source(const format_arg* first, std::int32_t count)
      : next(first), end(count > 0 ? first + count : first) {}

  bool int32(std::int32_t& value) {
    const format_arg* arg = take();
    if (arg == nullptr || arg->type != format_arg::kind::integer)
      return false;
    value = static_cast<std::int32_t>(arg->integer);  // the low 32 bits, as C would read them
    return true;
  }
  bool int64(std::int64_t& value) {
    const format_arg* arg = take();
    if (arg == nullptr || arg->type != format_arg::kind::integer)
      return false;
    value = arg->integer;
    return true;
  }
  bool real(double& value) {
    const format_arg* arg = take();
    if (arg == nullptr)
      return false;
    if (arg->type == format_arg::kind::real)
      value = arg->real;
    else if (arg->type == format_arg::kind::integer)
      value = static_cast<double>(arg->integer);
    else
      return false;
    return true;
  }
  bool text(const char*& value) {
    const format_arg* arg = take();
    if (arg == nullptr || arg->type != format_arg::kind::text)
      return false;
    value = arg->text;
    return true;
  }
  bool pointer(const void*& value) {
    const format_arg* arg = take();
    if (arg == nullptr)
      return false;
    if (arg->type == format_arg::kind::pointer)
      value = arg->pointer;
    else if (arg->type == format_arg::kind::text)
      value = arg->text;
    else
      return false;
    return true;
  }
  void skip(directive_kind) { (void)take(); }

 private:
  const format_arg* next;
  const format_arg* end;

  const format_arg* take() { return next < end ? next++ : nullptr; }
};

template <class Source>
void format_onto(outstm& stream, const char* format, Source& arguments) {
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
      arguments.skip(modified);
      continue;
    }
    ++next;

    const field_size field = read_field_size(directive, length);
    shorten_precision(directive, length, field, conversion);

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

    // An argument the source cannot give (a checked call's argument of another kind, or
    // none left) leaves the directive without text.
    int produced = 0;
    std::int32_t int32 = 0;
    std::int64_t int64 = 0;
    double real = 0;
    const char* value_text = nullptr;
    const void* value_pointer = nullptr;
    switch (kind) {
      case directive_kind::character:
        if (!arguments.int32(int32))
          break;
        if (!has_flags)
          stream.put_byte(static_cast<char>(int32));
        else if (!cannot_fit(field, 1))
          produced = platform::format_bounded(text, output_size, directive, int32);
        break;
      case directive_kind::short_integer:
      case directive_kind::integer:
      case directive_kind::long_integer: {
        if (!arguments.int32(int32))
          break;
        const int shown = kind == directive_kind::short_integer ? static_cast<short>(int32) : int32;
        if (!cannot_fit(field, integer_least(field, conversion, shown)))
          produced = platform::format_bounded(text, output_size, directive, int32);
        break;
      }
      case directive_kind::integer_64: {
        if (!arguments.int64(int64))
          break;
        const auto value = static_cast<long long>(int64);
        if (!cannot_fit(field, integer_least(field, conversion, value)))
          produced = platform::format_bounded(text, output_size, directive, value);
        break;
      }
      case directive_kind::pointer:
        if (arguments.pointer(value_pointer) && !cannot_fit(field, 0))
          produced = platform::format_bounded(text, output_size, directive, value_pointer);
        break;
      case directive_kind::text:
        // A null text writes nothing, with flags as without: the formatters disagree on it.
        if (!arguments.text(value_text) || value_text == nullptr)
          break;
        if (!has_flags)
          stream.write_text(value_text);
        else if (!cannot_fit(field, string_least(field, value_text)))
          produced = platform::format_bounded(text, output_size, directive, value_text);
        break;
      case directive_kind::floating:
      case directive_kind::long_floating:
        if (arguments.real(real) &&
            !cannot_fit(field, floating_least(text, field, conversion, real)))
          produced = platform::format_bounded(text, output_size, directive, real);
        break;
      case directive_kind::address: {
        if (!arguments.int32(int32))
          break;
        const auto value = static_cast<std::uint32_t>(int32);
        produced = platform::format_bounded(
            text, output_size, "%d.%d.%d.%d", static_cast<int>(value & 0xFF),
            static_cast<int>(value >> 8 & 0xFF), static_cast<int>(value >> 16 & 0xFF),
            static_cast<int>(value >> 24));
        break;
      }
      case directive_kind::short_timestamp:
        if (arguments.int64(int64))
          produced = render_timestamp(text, short_time_format, int64);
        break;
      case directive_kind::long_timestamp:
        if (arguments.int64(int64))
          produced = render_timestamp(text, long_time_format, int64);
        break;
      case directive_kind::none: break;
    }
    // A text that did not fit (a negative length) is left out; the format goes on.
    if (produced > 0)
      stream.write_block(text, produced);
  }
}

}  // namespace

void write_formatted(outstm& stream, const char* format, va_list arguments) {
  variadic_source source(arguments);
  format_onto(stream, format, source);
}

void write_formatted(outstm& stream, const char* format, const format_arg* arguments,
                     std::int32_t count) {
  checked_source source(arguments, count);
  format_onto(stream, format, source);
}

}  // namespace pt
