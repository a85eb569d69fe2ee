// The formatting engine: parses each directive itself, so that only a directive it has
// checked (with the argument widths it chose) ever reaches the platform's formatter.
#include "ortolib/streams/format.h"

#include <algorithm>
#include <array>
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
#include "ortolib/streams/format_directives.h"
#include "ortolib/streams/format_flags.h"
#include "ortolib/streams/format_syntax.h"
#include "ortolib/streams/outstm.h"

namespace pt {

constinit const char* short_time_format = "%d-%b-%Y %X";
constinit const char* long_time_format = "%a %b %d %X %Y";

namespace {

// What a directive takes from the argument list: the kind column of ORTO_FORMAT_DIRECTIVES.
enum class argument_kind {
  character,  // the low 32 bits of an integer
  integer,    // an integer: a checked call's at its own width, otherwise as the modifier names
  text,       // a text
  pointer,    // an address
  floating,   // a double
  address,    // the low 32 bits of an integer, an IPv4 address lowest byte first
  timestamp,  // a 64-bit integer
};

// The type of an integer argument of an unchecked call, as its length modifier names it.
enum class c_integer_type {
  int_type,   // none: int
  short_int,  // h: int, printed as a short
  long_int,   // l: long (64 bits on Linux, 32 on Windows)
  int_64,     // ll: 64-bit integer
};

// "%", at most 122 flag characters, a modifier of up to 3 ("I64"), the conversion, a NUL.
constexpr int directive_size = 128;
static_assert(format_syntax::flag_limit + 6 == directive_size);
// A directive rebuilt with a width and a precision of its own: "%", its flags, up to 10 digits
// each and a point, what its kind appends, a NUL.
constexpr int resized_size = 1 + format_syntax::flag_limit + 21 + 4 + 1;
// The text of one directive, as far as it fits; a longer one goes out in pieces.
constexpr int output_size = 4096;
// From this precision on, a greater one adds one more of the same character at the same place:
// a double has at most 1074 decimals and 767 significant digits, an integer at most 22 octal
// digits. So a text of a precision beyond it is the text of this one, with that run lengthened.
constexpr int repeating_precision = 1100;

c_integer_type c_integer_type_of(format_syntax::modifier length) {
  using format_syntax::modifier;
  switch (length) {
    case modifier::h:
    case modifier::hh: return c_integer_type::short_int;
    case modifier::l: return c_integer_type::long_int;
    case modifier::ll:
    case modifier::j:
    case modifier::z: return c_integer_type::int_64;
    case modifier::none:
    case modifier::L: break;
  }
  return c_integer_type::int_type;
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
  int flags_end = 1;            // index of the first character after the flags (" #+-0")
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
  field.flags_end = i;
  for (; i < length && is_digit(directive[i]); ++i)
    field.width = append_digit(field.width, directive[i]);
  if (i < length && directive[i] == '.') {
    field.precision = 0;
    field.precision_at = ++i;
    for (; i < length && is_digit(directive[i]); ++i)
      field.precision = append_digit(field.precision, directive[i]);
  }
  field.in_order = format_syntax::first_misplaced_flag(directive + 1, length - 1) == length - 1;
  return field;
}

// Shortens a precision above what can change a text the buffer holds. Above 4096, a text that
// the precision lengthens does not fit either way (it goes out in pieces), and one that it only
// bounds (the bytes of a string; what a formatter ignores, as for "c") is the same. For "g" and
// "G" without "#" it only bounds the significant digits, and a double has at most 767. So the
// formatter never works on more than a buffer's worth. The digits only get fewer, so the
// directive stays in its buffer; field keeps the precision as written.
void shorten_precision(char (&directive)[directive_size], int& length, const field_size& field,
                       char conversion) {
  const bool bounds_digits = (conversion == 'g' || conversion == 'G') && !field.alternate_form;
  const int limit = bounds_digits ? 767 : output_size;
  if (field.in_order && field.precision > limit)
    length = static_cast<int>(
        std::to_chars(directive + field.precision_at, directive + directive_size, limit).ptr -
        directive);
}

// What a directive's text is to the buffer, before the formatter is asked.
enum class text_size {
  may_fit,     // the formatter tries the buffer; a text that does not fit goes out in pieces
  too_long,    // certainly output_size characters or more: in pieces without trying
  unreadable,  // a width or precision beyond the int range, which no formatter reads: nothing
};

// too_long when the width alone says so, or `least`, the fewest characters the value takes.
// POSIX formatters report a number beyond the int range as an overflow, and the Windows runtime
// would read it cut to 32 bits. Out of order, the directive's numbers size nothing and it is
// left to the formatter, which then prints part of it as text.
text_size size_of_text(const field_size& field, std::int64_t least) {
  if (!field.in_order)
    return text_size::may_fit;
  if (field.width >= beyond_int || field.precision >= beyond_int)
    return text_size::unreadable;
  return field.width >= output_size || least >= output_size ? text_size::too_long
                                                            : text_size::may_fit;
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

// A text argument: zero-terminated (length -1), or a view of length bytes without a NUL
// after them.
struct text_value {
  const char* text = nullptr;
  std::ptrdiff_t length = -1;
};

// The bytes of a text before its first NUL (within its length, for a view), which "%s" writes.
std::size_t visible_length(const text_value& value) {
  if (value.length < 0)
    return std::strlen(value.text);
  const auto length = static_cast<std::size_t>(value.length);
  const void* nul = std::memchr(value.text, '\0', length);
  return nul == nullptr ? length
                        : static_cast<std::size_t>(static_cast<const char*>(nul) - value.text);
}

// The bytes of a string that the formatter takes: up to the precision, and no more than
// output_size, which already cannot fit.
std::int64_t string_least(const field_size& field, const text_value& value) {
  std::int64_t bound = field.precision >= 0 ? std::min<std::int64_t>(field.precision, output_size)
                                            : output_size;
  if (value.length >= 0)
    bound = std::min<std::int64_t>(bound, value.length);
  // memchr stops at the first NUL, so it reads no further than the string does.
  const void* end = std::memchr(value.text, '\0', static_cast<std::size_t>(bound));
  return end == nullptr ? bound : static_cast<const char*>(end) - value.text;
}

int render_timestamp(char (&text)[output_size], const char* pattern, timestamp t) {
  if (pattern == nullptr)
    return 0;
  std::tm record;
  if (to_calendar(t < 0 ? 0 : t, record) == nullptr)
    return 0;  // beyond the last calendar day: nothing is rendered from a missing record
  return static_cast<int>(std::strftime(text, output_size, pattern, &record));
}

// An integer argument of a checked call: its bits, the width of its type in bytes (1 to 8) and
// whether that type is unsigned.
struct integer_value {
  std::int64_t bits = 0;
  int size = 4;
  bool is_unsigned = false;
};

// The rebuilt directive handed to the platform formatter: "%", the flag characters as they
// stand (a precision larger than can matter shortened), then what each kind appends.
class directive_text {
 public:
  char text[directive_size];
  int length = 0;
  field_size field;
  bool has_flags;
  int numbers_end;  // where what the kind appends begins

  explicit directive_text(const format_syntax::directive& directive)
      : has_flags(directive.flag_count > 0) {
    text[length++] = '%';
    std::memcpy(text + 1, directive.flags, static_cast<std::size_t>(directive.flag_count));
    length += directive.flag_count;
    field = read_field_size(text, length);
    shorten_precision(text, length, field, directive.conversion);
    numbers_end = length;
  }
  directive_text(const directive_text&) = delete;
  directive_text& operator=(const directive_text&) = delete;

  // Appends the platform's 64-bit length modifier, then the conversion, and ends the text.
  const char* for_int64(char conversion) {
    for (const char* m = platform::int64_length_modifier; *m != '\0'; ++m)
      text[length++] = *m;
    return with(conversion);
  }
  // Appends the conversion alone and ends the text.
  const char* with(char conversion) {
    text[length++] = conversion;
    text[length] = '\0';
    return text;
  }
  // The finished directive with another width (none for 0) and precision (none for -1), both
  // in the int range, into resized: its flags as written, the numbers, what the kind appended
  // (at most 4 characters, "I64d"). The bounds are spelled out for the compiler's checks.
  const char* resized(char (&out)[resized_size], std::int64_t width, std::int64_t precision) const {
    char* at = std::copy_n(text, std::min(field.flags_end, format_syntax::flag_limit + 1), out);
    if (width > 0)
      at = std::to_chars(at, at + 10, width).ptr;
    if (precision >= 0) {
      *at++ = '.';
      at = std::to_chars(at, at + 10, precision).ptr;
    }
    *std::copy_n(text + numbers_end, std::min(length - numbers_end, 4), at) = '\0';
    return out;
  }
};

// The argument a directive took, in the member its kind reads.
struct argument_value {
  std::int32_t int32 = 0;  // character, address
  std::int64_t int64 = 0;  // timestamp
  integer_value integer;   // integer
  bool own_width = false;  // integer: a checked call's, printed at its own width
  c_integer_type named = c_integer_type::int_type;  // integer: an unchecked call's type
  double real = 0;                                  // floating
  text_value text;                                  // text
  const void* pointer = nullptr;                    // pointer
};

// One directive as it is written: the stream, the buffer its text is rendered in, the
// directive rebuilt for the formatter, and its conversion letter.
struct directive_writing {
  outstm& stream;
  char (&text)[output_size];
  directive_text& directive;
  char conversion;
};

// A run of count copies of fill that goes into a text before its byte at `at`.
struct insertion {
  std::size_t at = 0;
  char fill = ' ';
  std::int64_t count = 0;
};

// Where longer is shorter with one character inserted: that character, at the last place in
// its run where it can have gone (anywhere in a run of itself gives the same text), count 1.
// A longer equal to shorter gives count 0. False for any other difference.
bool find_insertion(const char* shorter, int shorter_length, const char* longer, int longer_length,
                    insertion& found) {
  if (shorter_length < 0 || longer_length < shorter_length || longer_length > shorter_length + 1)
    return false;
  const auto length = static_cast<std::size_t>(shorter_length);
  if (longer_length == shorter_length) {
    found = {length, ' ', 0};
    return std::memcmp(shorter, longer, length) == 0;
  }
  const std::size_t at =
      static_cast<std::size_t>(std::mismatch(shorter, shorter + length, longer).first - shorter);
  found = {at, longer[at], 1};
  return std::memcmp(shorter + at, longer + at + 1, length - at) == 0;
}

// Writes count copies of run.fill, a chunk at a time. False when the stream took fewer: it is
// at its end, and nothing more of the directive goes.
bool write_run(outstm& stream, char (&chunk)[output_size], const insertion& run) {
  std::memset(chunk, run.fill, sizeof chunk);
  for (std::int64_t left = run.count; left > 0;) {
    const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(left, output_size));
    if (stream.write_block(chunk, n) < n)
      return false;
    left -= n;
  }
  return true;
}

// Writes text with the runs of padding and digits inserted. Where both go at one place the
// padding comes first, except at the end, where it follows the digits (a left-justified field).
void write_with_runs(outstm& stream, const char* text, std::size_t length, const insertion& padding,
                     const insertion& digits, char (&chunk)[output_size]) {
  const bool padding_first = padding.at < digits.at ||
                             (padding.at == digits.at && padding.at < length);
  const insertion& first = padding_first ? padding : digits;
  const insertion& second = padding_first ? digits : padding;
  stream.write_bytes(text, first.at);
  if (!write_run(stream, chunk, first))
    return;
  stream.write_bytes(text + first.at, second.at - first.at);
  if (!write_run(stream, chunk, second))
    return;
  stream.write_bytes(text + second.at, length - second.at);
}

// A text longer than the buffer, made of one that fits: the formatter renders the directive
// with no width and a precision of at most repeating_precision into text; one more digit of
// precision shows where a greater one adds its run, and one more character of width where the
// padding goes and of what character. The formatter decides both (a "0" flag, a sign, "0x",
// an infinity), and the text is written with the two runs, of any length, in pieces.
// render(buffer, directive) is the formatter with the directive's argument.
template <class Render>
void write_in_pieces(outstm& stream, char (&text)[output_size], const directive_text& directive,
                     Render render) {
  const field_size& field = directive.field;
  const std::int64_t precision = std::min<std::int64_t>(field.precision, repeating_precision);
  char format[resized_size];
  const int core = render(text, directive.resized(format, 0, precision));
  if (core < 0)
    return;
  char probe[output_size];
  const auto length = static_cast<std::size_t>(core);
  insertion digits{length};
  if (field.precision > precision) {
    const int longer = render(probe, directive.resized(format, 0, precision + 1));
    if (!find_insertion(text, core, probe, longer, digits))
      return;
    digits.count *= field.precision - precision;
  }
  insertion padding{length};
  if (field.width > core + digits.count) {
    const int padded = render(probe, directive.resized(format, core + 1, precision));
    if (!find_insertion(text, core, probe, padded, padding))
      return;
    padding.count *= field.width - core - digits.count;
  }
  write_with_runs(stream, text, length, padding, digits, probe);
}

// Writes the text the formatter makes of value under the finished directive, least being the
// fewest characters it takes: from the buffer when it fits, in pieces when it is longer.
template <class Value>
void write_rendered(outstm& stream, char (&text)[output_size], const directive_text& directive,
                    std::int64_t least, Value value) {
  const auto render = [value](char(&buffer)[output_size], const char* format) {
    return platform::format_bounded(buffer, output_size, format, value);
  };
  switch (size_of_text(directive.field, least)) {
    case text_size::unreadable: return;
    case text_size::may_fit: {
      const int produced = render(text, directive.text);
      if (produced > 0)
        stream.write_block(text, produced);
      // Out of order the numbers size nothing: what the formatter cannot hold is left out.
      if (produced >= 0 || !directive.field.in_order)
        return;
      break;
    }
    case text_size::too_long: break;
  }
  write_in_pieces(stream, text, directive, render);
}

// The text of an integer conversion. "d" and "i" print a signed type's value and an unsigned
// type's as unsigned; "o", "u", "x" and "X" print the bits at the type's width, unsigned:
//
//   value (type)            %d                      %x
//   -1 (int)                -1                      ffffffff
//   -1 (short)              -1                      ffff
//   UINT64_MAX (uint64_t)   18446744073709551615    ffffffffffffffff
//
// So a value is never cut, and its sign is the one its type gives it. The formatter always
// reads 64 bits.
void write_integer(outstm& stream, char (&text)[output_size], directive_text& directive,
                   char conversion, const integer_value& value) {
  // A width outside 1 to 8 (a format_arg made by hand) is the value as it stands.
  const int bits = value.size >= 1 && value.size <= 8 ? value.size * 8 : 64;
  const std::uint64_t mask = bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
  const auto unsigned_bits = static_cast<std::uint64_t>(value.bits) & mask;
  const bool is_signed_conversion = conversion == 'd' || conversion == 'i';
  if (is_signed_conversion && (!value.is_unsigned || unsigned_bits <= INT64_MAX)) {
    // Sign-extended from the type's width (an unsigned value this small is the same number).
    const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
    const auto signed_value = value.is_unsigned
                                  ? static_cast<long long>(unsigned_bits)
                                  : static_cast<long long>((unsigned_bits ^ sign) - sign);
    directive.for_int64(conversion);
    write_rendered(stream, text, directive,
                   integer_least(directive.field, conversion, signed_value), signed_value);
    return;
  }
  // An unsigned value beyond the signed range prints under "u", for d and i as well.
  const char shown = is_signed_conversion ? 'u' : conversion;
  const auto unsigned_value = static_cast<unsigned long long>(unsigned_bits);
  directive.for_int64(shown);
  write_rendered(stream, text, directive, integer_least(directive.field, shown, unsigned_value),
                 unsigned_value);
}

// The text of an integer conversion of an unchecked call, as its directive names the argument:
// 32 bits, shown as a short after "h"; a long after "l", at the platform's width (64 bits on
// Linux, 32 on Windows); 64 after "ll". The formatter sees "h" and its own 64-bit modifier, no
// other.
void write_c_integer(outstm& stream, char (&text)[output_size], directive_text& directive,
                     char conversion, c_integer_type type, std::int64_t argument) {
  if (type == c_integer_type::int_64 ||
      (type == c_integer_type::long_int && sizeof(long) > sizeof(std::int32_t))) {
    const auto value = static_cast<long long>(argument);
    directive.for_int64(conversion);
    write_rendered(stream, text, directive, integer_least(directive.field, conversion, value),
                   value);
    return;
  }
  const auto int32 = static_cast<std::int32_t>(argument);
  const bool is_short = type == c_integer_type::short_int;
  const int shown = is_short ? static_cast<short>(int32) : int32;
  if (is_short)
    directive.text[directive.length++] = 'h';
  directive.with(conversion);
  write_rendered(stream, text, directive, integer_least(directive.field, conversion, shown), int32);
}

// "%s" with flags whose text is longer than the buffer: the bytes the precision leaves, written
// straight from the argument, and the padding where the formatter puts it for a stand-in "x".
void write_long_text(outstm& stream, const directive_text& directive, const text_value& value) {
  std::size_t length = visible_length(value);
  if (directive.field.precision >= 0)
    length = std::min(length, static_cast<std::size_t>(directive.field.precision));
  char probe[output_size];
  insertion padding{length};
  if (directive.field.width > static_cast<std::int64_t>(length)) {
    char format[resized_size];
    const int padded = platform::format_bounded(
        probe, output_size, directive.resized(format, 2, -1), static_cast<const char*>("x"));
    if (!find_insertion("x", 1, probe, padded, padding))
      return;
    padding.at = padding.at == 0 ? 0 : length;
    padding.count *= directive.field.width - static_cast<std::int64_t>(length);
  }
  write_with_runs(stream, value.text, length, padding, insertion{length}, probe);
}

// The text of "%s" with flags. A view is copied, as far as the formatter can read of it, into
// a zero-terminated buffer of its own; the formatter needs a NUL after the text.
void write_text(outstm& stream, char (&text)[output_size], directive_text& directive,
                const text_value& value) {
  directive.with('s');
  switch (size_of_text(directive.field, string_least(directive.field, value))) {
    case text_size::unreadable: return;
    case text_size::too_long: write_long_text(stream, directive, value); return;
    case text_size::may_fit: break;
  }
  if (value.length < 0) {
    write_rendered(stream, text, directive, 0, value.text);
    return;
  }
  char copy[output_size];
  // Fits, so the formatter takes fewer than output_size bytes of it: a precision bounds it.
  const std::size_t copied = std::min<std::size_t>(visible_length(value), output_size - 1);
  std::memcpy(copy, value.text, copied);
  copy[copied] = '\0';
  write_rendered(stream, text, directive, 0, static_cast<const char*>(copy));
}

// The writers of ORTO_FORMAT_DIRECTIVES' rows, one for each way a directive is written: each
// writes the text of its directive from the argument that its kind took.

// "%c": the byte itself without flags (a NUL too), the formatter's text with them.
void write_character(directive_writing& w, const argument_value& value) {
  if (!w.directive.has_flags) {
    w.stream.put_byte(static_cast<char>(value.int32));
    return;
  }
  w.directive.with(w.conversion);
  write_rendered(w.stream, w.text, w.directive, 1, value.int32);
}

// The text of an integer conversion: a checked call's at the argument's own width, an
// unchecked call's as the directive names it.
void write_any_integer(directive_writing& w, const argument_value& value) {
  if (value.own_width)
    write_integer(w.stream, w.text, w.directive, w.conversion, value.integer);
  else
    write_c_integer(w.stream, w.text, w.directive, w.conversion, value.named, value.integer.bits);
}

// "%s": the bytes up to the first NUL without flags, the formatter's text with them. A null
// text writes nothing, with flags as without: the formatters disagree on it.
void write_string(directive_writing& w, const argument_value& value) {
  if (value.text.text == nullptr)
    return;
  if (w.directive.has_flags)
    write_text(w.stream, w.text, w.directive, value.text);
  else
    w.stream.write_bytes(value.text.text, visible_length(value.text));
}

// "%p": the formatter's text of the address.
void write_pointer(directive_writing& w, const argument_value& value) {
  w.directive.with(w.conversion);
  write_rendered(w.stream, w.text, w.directive, 0, value.pointer);
}

// "%e %E %f %g %G", after "L" too: the formatter's text of a double.
void write_floating(directive_writing& w, const argument_value& value) {
  const std::int64_t least = floating_least(w.text, w.directive.field, w.conversion, value.real);
  w.directive.with(w.conversion);
  write_rendered(w.stream, w.text, w.directive, least, value.real);
}

// "%a": the four bytes of an IPv4 address, lowest first, in decimal; flags are ignored.
void write_address(directive_writing& w, const argument_value& value) {
  const auto address = static_cast<std::uint32_t>(value.int32);
  const int produced = platform::format_bounded(
      w.text, output_size, "%d.%d.%d.%d", static_cast<int>(address & 0xFF),
      static_cast<int>(address >> 8 & 0xFF), static_cast<int>(address >> 16 & 0xFF),
      static_cast<int>(address >> 24));
  if (produced > 0)
    w.stream.write_block(w.text, produced);
}

// "%t" and "%T": the timestamp by strftime's pattern; flags are ignored.
void write_timestamp(directive_writing& w, const char* pattern, timestamp t) {
  const int produced = render_timestamp(w.text, pattern, t);
  if (produced > 0)
    w.stream.write_block(w.text, produced);
}

void write_short_timestamp(directive_writing& w, const argument_value& value) {
  write_timestamp(w, short_time_format, value.int64);
}

void write_long_timestamp(directive_writing& w, const argument_value& value) {
  write_timestamp(w, long_time_format, value.int64);
}

// Takes the argument of a directive of kind from arguments into value; false when the source
// cannot give it (a checked call's argument of another kind, or none left).
template <class Source>
bool read_argument(Source& arguments, argument_kind kind, format_syntax::modifier length,
                   argument_value& value) {
  switch (kind) {
    case argument_kind::character:
    case argument_kind::address: return arguments.int32(value.int32);
    case argument_kind::timestamp: return arguments.int64(value.int64);
    case argument_kind::floating: return arguments.real(value.real);
    case argument_kind::text: return arguments.text(value.text);
    case argument_kind::pointer: return arguments.pointer(value.pointer);
    case argument_kind::integer: break;
  }
  if constexpr (Source::checked) {
    value.own_width = true;
    return arguments.integer(value.integer);
  } else {
    value.named = c_integer_type_of(length);
    arguments.c_integer(value.named, value.integer.bits);
    return true;
  }
}

// What the engine does for one conversion letter: its row of ORTO_FORMAT_DIRECTIVES.
struct directive_row {
  argument_kind kind = argument_kind::integer;
  void (*writer)(directive_writing&, const argument_value&) = nullptr;  // none: not a letter
};

// The rows by letter; the letters are ASCII.
constexpr auto directive_rows = [] {
  std::array<directive_row, 128> rows{};
#define ORTO_DIRECTIVE_ROW(letter, kind, reads, writer) \
  rows[letter] = {argument_kind::kind, writer};
  ORTO_FORMAT_DIRECTIVES(ORTO_DIRECTIVE_ROW)
#undef ORTO_DIRECTIVE_ROW
  return rows;
}();

// Writes the text of one complete directive by its letter's row: reads the argument as the
// row's kind says and writes it with the row's writer, or has the source report the argument
// it could not give. read_directive completes a directive only with a letter of the table.
template <class Source>
void write_directive(outstm& stream, const format_syntax::directive& parsed, Source& arguments) {
  const auto letter = static_cast<unsigned char>(parsed.conversion);
  const directive_row row = letter < directive_rows.size() ? directive_rows[letter]
                                                           : directive_row{};
  if (row.writer == nullptr)
    return;
  argument_value value;
  if (!read_argument(arguments, row.kind, parsed.length, value)) {
    arguments.mismatch(stream, parsed.conversion);
    return;
  }
  directive_text directive(parsed);
  char text[output_size];
  directive_writing writing{stream, text, directive, parsed.conversion};
  row.writer(writing, value);
}

// The arguments of a C-variadic call: every read takes the next argument as the type the
// directive names; the caller answers for the types. The engine's own reading: no "hh", "j" or
// "z", and nothing written for what it cannot read.
class variadic_source {
 public:
  static constexpr bool checked = false;

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
  // An integer of the type its directive names: a long after "l", a long long after "ll", an
  // int otherwise. The branches differ only in the type va_arg reads, which the clone check
  // overlooks.
  void c_integer(c_integer_type type, std::int64_t& value) {
    if (type == c_integer_type::long_int)
      value = va_arg(arguments, long);
    else if (type == c_integer_type::int_64)
      value = va_arg(arguments, long long);  // NOLINT(bugprone-branch-clone)
    else
      value = va_arg(arguments, int);
  }
  bool real(double& value) {
    value = va_arg(arguments, double);
    return true;
  }
  bool text(text_value& value) {
    value.text = va_arg(arguments, const char*);
    return true;
  }
  bool pointer(const void*& value) {
    value = va_arg(arguments, const void*);
    return true;
  }
  // A directive with a length modifier and no conversion takes its argument and writes
  // nothing; the letter after it is written as text. The branches differ only in the type
  // va_arg reads, which the clone check overlooks.
  bool modifier_alone(outstm&, const char*, const format_syntax::directive& directive) {
    using format_syntax::modifier;
    if (directive.length == modifier::ll)
      (void)va_arg(arguments, long long);  // NOLINT(bugprone-branch-clone)
    else if (directive.length == modifier::l)
      (void)va_arg(arguments, long);
    else if (directive.length == modifier::L)
      (void)va_arg(arguments, double);
    else
      (void)va_arg(arguments, int);
    return true;
  }
  // An unknown directive ends the output without a word.
  void unknown(outstm&, const char*, const char*) {}
  void mismatch(outstm&, char) {}
  void finish(outstm&) {}

 private:
  va_list arguments;
};

// The arguments of a checked call, each with its kind and an integer with its width: a read
// converts the next argument to what the directive reads (the low 32 bits of an integer for
// "c" and "a", an integer made a double), or fails when the argument is of another kind or
// missing. What cannot be read is marked in the text, visibly:
//
//   "%!d(text)"          the directive's argument is of another kind (integer, real, text,
//                        pointer); it is used up
//   "%!s(missing)"       no argument is left for the directive
//   "%!(extra integer)"  after the format, for each argument no directive read
//   "%!y(unknown)"       a directive the engine does not know, as far as it was read; the
//                        output ends there, as for an unchecked call
class checked_source {
 public:
  static constexpr bool checked = true;

  checked_source(const format_arg* first, std::int32_t count)
      : next(first), end(count > 0 ? first + count : first) {}

  bool int32(std::int32_t& value) {
    if (!take(format_arg::kind::integer))
      return false;
    value = static_cast<std::int32_t>(taken->integer);  // the low 32 bits
    return true;
  }
  bool int64(std::int64_t& value) {
    if (!take(format_arg::kind::integer))
      return false;
    value = taken->integer;
    return true;
  }
  // Every integer at its own width and signedness, whatever the directive's modifier.
  bool integer(integer_value& value) {
    if (!take(format_arg::kind::integer))
      return false;
    value = {taken->integer, taken->integer_size, taken->is_unsigned};
    return true;
  }
  bool real(double& value) {
    if (take(format_arg::kind::real))
      value = taken->real;
    else if (taken != nullptr && taken->type == format_arg::kind::integer)
      value = taken->is_unsigned ? static_cast<double>(static_cast<std::uint64_t>(taken->integer))
                                 : static_cast<double>(taken->integer);
    else
      return false;
    return true;
  }
  bool text(text_value& value) {
    if (!take(format_arg::kind::text))
      return false;
    value = {taken->text, taken->text_length};
    return true;
  }
  bool pointer(const void*& value) {
    if (take(format_arg::kind::pointer))
      value = taken->pointer;
    else if (taken != nullptr && taken->type == format_arg::kind::text)
      value = taken->text;
    else
      return false;
    return true;
  }
  bool modifier_alone(outstm& stream, const char* percent, const format_syntax::directive& d) {
    unknown(stream, percent, d.end);
    return false;
  }
  // The directive's characters up to stop, where reading it failed, that one included.
  void unknown(outstm& stream, const char* percent, const char* stop) {
    const char* end = *stop != '\0' ? stop + 1 : stop;
    stream.write_text("%!");
    stream.write_bytes(percent + 1, static_cast<std::size_t>(end - (percent + 1)));
    stream.write_text("(unknown)");
  }
  void mismatch(outstm& stream, char conversion) {
    stream.write_text("%!");
    stream.put_byte(conversion);
    stream.put_byte('(');
    stream.write_text(taken == nullptr ? "missing" : kind_name(taken->type));
    stream.put_byte(')');
  }
  void finish(outstm& stream) {
    for (; next < end; ++next) {
      stream.write_text("%!(extra ");
      stream.write_text(kind_name(next->type));
      stream.put_byte(')');
    }
  }

 private:
  const format_arg* next;
  const format_arg* end;
  const format_arg* taken = nullptr;  // the argument of the last read; null when none was left

  // Takes the next argument; true when it is of the kind wanted.
  bool take(format_arg::kind wanted) {
    taken = next < end ? next++ : nullptr;
    return taken != nullptr && taken->type == wanted;
  }

  static const char* kind_name(format_arg::kind kind) {
    switch (kind) {
      case format_arg::kind::integer: return "integer";
      case format_arg::kind::real: return "real";
      case format_arg::kind::text: return "text";
      default: return "pointer";
    }
  }
};

// Writes the directive at percent, read as directive; false when the output ends there.
template <class Source>
bool format_directive(outstm& stream, const char* percent,
                      const format_syntax::directive& directive, Source& arguments) {
  switch (directive.form) {
    case format_syntax::shape::percent: stream.put_byte('%'); return true;
    case format_syntax::shape::no_conversion:
      // The letter stays unconsumed, to be written as text when the source goes on.
      return arguments.modifier_alone(stream, percent, directive);
    case format_syntax::shape::unknown:
      arguments.unknown(stream, percent, directive.end);
      return false;
    case format_syntax::shape::complete: break;
  }
  if constexpr (Source::checked) {
    // Flags out of order would have the formatter print the directive as text: a checked call
    // takes them for what they are, an unknown directive.
    const int misplaced =
        format_syntax::first_misplaced_flag(directive.flags, directive.flag_count);
    if (misplaced < directive.flag_count) {
      arguments.unknown(stream, percent, directive.flags + misplaced);
      return false;
    }
  }
  write_directive(stream, directive, arguments);
  return true;
}

template <class Source>
void format_onto(outstm& stream, const char* format, Source& arguments) {
  const auto is_flag = [](char c) {
    return charset_contains(format_flag_chars, static_cast<std::uint8_t>(c));
  };
  const char* next = format != nullptr ? format : "";
  while (*next != '\0') {
    const char* percent = std::strchr(next, '%');
    if (percent == nullptr) {
      stream.write_bytes(next, std::strlen(next));
      break;
    }
    if (percent > next)
      stream.write_bytes(next, static_cast<std::size_t>(percent - next));
    const auto directive = format_syntax::read_directive(percent, Source::checked, is_flag);
    next = directive.end;
    if (!format_directive(stream, percent, directive, arguments))
      return;
  }
  arguments.finish(stream);
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
