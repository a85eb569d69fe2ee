// The formatting engine: parses each directive itself, so that only a directive it has
// checked (with the argument widths it chose) ever reaches the platform's formatter.
#include "ortolib/streams/format.h"

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
      stream.write_block(next, static_cast<std::int32_t>(std::strlen(next)));
      return;
    }
    if (percent > next)
      stream.write_block(next, static_cast<std::int32_t>(percent - next));
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
        else
          produced = platform::format_bounded(text, output_size, directive, int32);
        break;
      case directive_kind::short_integer:
      case directive_kind::integer:
      case directive_kind::long_integer:
        if (arguments.int32(int32))
          produced = platform::format_bounded(text, output_size, directive, int32);
        break;
      case directive_kind::integer_64:
        if (arguments.int64(int64))
          produced =
              platform::format_bounded(text, output_size, directive, static_cast<long long>(int64));
        break;
      case directive_kind::pointer:
        if (arguments.pointer(value_pointer))
          produced = platform::format_bounded(text, output_size, directive, value_pointer);
        break;
      case directive_kind::text:
        // A null text writes nothing, with flags as without: the formatters disagree on it.
        if (!arguments.text(value_text) || value_text == nullptr)
          break;
        if (!has_flags)
          stream.write_text(value_text);
        else
          produced = platform::format_bounded(text, output_size, directive, value_text);
        break;
      case directive_kind::floating:
      case directive_kind::long_floating:
        if (arguments.real(real))
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
