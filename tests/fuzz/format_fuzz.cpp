// The formatting engine on arbitrary formats. A small model written from the engine's rules
// decides which arguments the format takes and what each directive writes (numbers through
// the platform formatter itself); the engine is then called with exactly those arguments and
// must write exactly the model's bytes. An engine that read one argument too many or too few
// would print different bytes, so the output comparison also checks argument consumption.
#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "ortolib/core/string.h"
#include "ortolib/platform/private/format.h"
#include "ortolib/streams/format.h"
#include "ortolib/streams/outmemory.h"

namespace {

using pt::fuzz::check;

enum class arg_type { int32, long_integer, int64, real, text, pointer };

// One argument the format takes, with the value the fuzzer chose for it.
struct argument {
  arg_type type;
  int int32 = 0;
  long long int64 = 0;
  double real = 0;
  const char* text = nullptr;
};

constexpr std::size_t max_arguments = 3;
constexpr int output_size = 4096;

bool is_flag(char c) {
  return c == ' ' || c == '#' || c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9');
}

constexpr long long beyond_int = 2147483648LL;

// The width and precision of a directive (its flag characters, then anything) whose flag
// characters come in the order the formatters read (flags, width, point, precision), each
// capped at one past the int range; -1 for a precision not given. Out of order, the numbers
// size nothing: in_order is false.
struct field_numbers {
  bool in_order = false;
  long long width = 0;
  long long precision = -1;
};

field_numbers numbers_of(const std::string& directive) {
  field_numbers field;
  std::size_t i = 1;
  while (i < directive.size() && std::strchr(" #+-0", directive[i]) != nullptr)
    ++i;
  auto number_at = [&](long long& number) {
    number = 0;
    for (; i < directive.size() && directive[i] >= '0' && directive[i] <= '9'; ++i)
      number = std::min(number * 10 + (directive[i] - '0'), beyond_int);
  };
  number_at(field.width);
  if (i < directive.size() && directive[i] == '.') {
    ++i;
    number_at(field.precision);
  }
  field.in_order = i == directive.size() || !is_flag(directive[i]);
  return field;
}

// A width or precision the model does not follow: within the int range, but so large that the
// engine would write megabytes for it. Such a directive ends the format.
bool too_large(long long number) { return number > 20000 && number < beyond_int; }

// The platform formatter's whole text, in a buffer that holds it, and nothing for a width or
// precision beyond the int range, which no formatter reads.
template <class T>
std::string formatted(const std::string& directive, T value) {
  const field_numbers field = numbers_of(directive);
  if (field.in_order && (field.width >= beyond_int || field.precision >= beyond_int))
    return {};
  // Out of order the formatter prints part of the directive as text.
  const long long room = field.in_order ? field.width + std::max(field.precision, 0LL) : 0;
  std::vector<char> text(static_cast<std::size_t>(room + 8000));
  const int length =
      pt::platform::format_bounded(text.data(), text.size(), directive.c_str(), value);
  return length > 0 ? std::string(text.data(), static_cast<std::size_t>(length)) : std::string();
}

// A timestamp by the proleptic Gregorian calendar of <chrono>, rendered with strftime.
std::string timestamp_text(long long t, const char* pattern) {
  using namespace std::chrono;
  if (t < 0)
    t = 0;
  if (t > 315537897599999LL)
    return {};
  const long long days = t / 86400000, ms = t % 86400000;
  // Day 0 is 1 January of year 1.
  const sys_days day = sys_days(year_month_day(year(1), January, 1d)) + std::chrono::days(days);
  const year_month_day date(day);
  std::tm record{};
  record.tm_year = static_cast<int>(date.year()) - 1900;
  record.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
  record.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
  record.tm_hour = static_cast<int>(ms / 3600000);
  record.tm_min = static_cast<int>(ms / 60000 % 60);
  record.tm_sec = static_cast<int>(ms / 1000 % 60);
  record.tm_wday = static_cast<int>(weekday(day).c_encoding());
  record.tm_yday = (day - sys_days(year_month_day(date.year(), January, 1d))).count();
  char text[output_size];
  return std::string(text, std::strftime(text, output_size, pattern, &record));
}

// Walks the format by the engine's rules. Fills the arguments it takes (values from input)
// and returns the bytes it must write. Stops taking directives after max_arguments, cutting
// the format there, so the call below can pass every argument.
std::string model(std::string& format, std::vector<argument>& arguments, pt::fuzz::fuzz_input& in,
                  const std::vector<std::string>& texts) {
  std::string out;
  std::size_t i = 0;
  while (i < format.size()) {
    const std::size_t percent = format.find('%', i);
    if (percent == std::string::npos) {
      out.append(format, i, std::string::npos);
      break;
    }
    out.append(format, i, percent - i);
    i = percent + 1;
    if (i < format.size() && format[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    if (arguments.size() == max_arguments) {  // the call cannot pass more: end the format here
      format.resize(percent);
      break;
    }
    std::string directive = "%";
    while (directive.size() < 123 && i < format.size() && is_flag(format[i]))
      directive += format[i++];
    const field_numbers field = numbers_of(directive);
    if (field.in_order && (too_large(field.width) || too_large(field.precision))) {
      format.resize(percent);  // a text of megabytes: end the format here
      break;
    }
    const bool flags = directive.size() > 1;
    const char next = i < format.size() ? format[i] : '\0';
    char modifier = 0;  // 'L', 'h', 'q' (ll) or 'l'
    if (next == 'L' || next == 'h') {
      modifier = next;
      ++i;
    } else if (next == 'l') {
      const bool twice = i + 1 < format.size() && format[i + 1] == 'l';
      modifier = twice ? 'q' : 'l';
      i += twice ? 2 : 1;
    }
    const char c = i < format.size() ? format[i] : '\0';
    argument arg;
    if (std::strchr("diouxX", c) != nullptr && c != '\0') {
      ++i;
      if (modifier == 'q') {
        arg = {arg_type::int64, 0, in.integer<long long>()};
        out += formatted(directive + pt::platform::int64_length_modifier + c, arg.int64);
      } else if (modifier == 'l') {
        // A long: the formatter reads a 64-bit one through its own 64-bit modifier, so an
        // out-of-order directive, which it prints as text, shows that modifier.
        arg = {arg_type::long_integer, 0, in.integer<long>()};
        out += sizeof(long) > 4 ? formatted(directive + pt::platform::int64_length_modifier + c,
                                            static_cast<long long>(arg.int64))
                                : formatted(directive + c, static_cast<int>(arg.int64));
      } else {
        arg = {arg_type::int32, in.integer<int>()};
        out += formatted(directive + (modifier == 'h' ? "h" : "") + c, arg.int32);
      }
    } else if (std::strchr("eEfgG", c) != nullptr && c != '\0') {
      ++i;
      arg = {arg_type::real};
      arg.real = std::bit_cast<double>(in.integer<std::uint64_t>());
      out += formatted(directive + c, arg.real);
    } else if (c == 'c') {
      ++i;
      arg = {arg_type::int32, in.integer<int>()};
      out += flags ? formatted(directive + c, arg.int32)
                   : std::string(1, static_cast<char>(arg.int32));
    } else if (c == 's') {
      ++i;
      arg = {arg_type::text};
      const std::uint8_t pick = in.byte();
      arg.text = pick < texts.size() ? texts[pick].c_str() : nullptr;
      if (arg.text != nullptr)
        out += flags ? formatted(directive + c, arg.text) : std::string(arg.text);
    } else if (c == 'p') {
      ++i;
      arg = {arg_type::pointer, 0, in.integer<long long>()};
      out += formatted(directive + c, reinterpret_cast<void*>(arg.int64));
    } else if (c == 'a') {
      ++i;
      arg = {arg_type::int32, in.integer<int>()};
      const auto v = static_cast<unsigned>(arg.int32);
      out += std::to_string(v & 0xFF) + '.' + std::to_string(v >> 8 & 0xFF) + '.' +
             std::to_string(v >> 16 & 0xFF) + '.' + std::to_string(v >> 24);
    } else if (c == 't' || c == 'T') {
      ++i;
      arg = {arg_type::int64, 0, in.integer<long long>() % 400000000000000LL};
      out += timestamp_text(arg.int64, c == 't' ? "%d-%b-%Y %X" : "%a %b %d %X %Y");
    } else if (modifier == 0) {
      break;  // not a directive: the engine stops writing here
    } else {
      // A modifier without a conversion takes its argument and writes nothing.
      if (modifier == 'q')
        arg = {arg_type::int64, 0, in.integer<long long>()};
      else if (modifier == 'l')
        arg = {arg_type::long_integer, 0, in.integer<long>()};
      else if (modifier == 'L')
        arg = {arg_type::real};
      else
        arg = {arg_type::int32, in.integer<int>()};
    }
    arguments.push_back(arg);
  }
  return out;
}

void call_engine(pt::outmemory& stream, const char* format, ...) {
  va_list list;
  va_start(list, format);
  stream.vformat(format, list);
  va_end(list);
}

// Calls the engine with the arguments' values, each passed with its own type.
template <class... Values>
void call_with(pt::outmemory& stream, const std::string& format,
               const std::vector<argument>& arguments, Values... values) {
  constexpr std::size_t index = sizeof...(Values);
  if (index == arguments.size()) {
    call_engine(stream, format.c_str(), values...);
    return;
  }
  if constexpr (index < max_arguments) {
    const argument& a = arguments[index];
    switch (a.type) {
      case arg_type::int32: return call_with(stream, format, arguments, values..., a.int32);
      case arg_type::long_integer:
        return call_with(stream, format, arguments, values..., static_cast<long>(a.int64));
      case arg_type::int64: return call_with(stream, format, arguments, values..., a.int64);
      case arg_type::real: return call_with(stream, format, arguments, values..., a.real);
      case arg_type::text: return call_with(stream, format, arguments, values..., a.text);
      case arg_type::pointer:
        return call_with(stream, format, arguments, values..., reinterpret_cast<void*>(a.int64));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pt::fuzz::fuzz_input in(data, size);
  // The format: up to its first NUL, at most 300 bytes. The rest feeds the argument values.
  const std::size_t format_length = in.byte() % 200 + in.byte() % 101;
  std::string format(in.bytes(format_length));
  format.resize(std::strlen(format.c_str()));
  // Texts for %s: a short one, one longer than a directive's 4096 bytes, an empty one.
  const std::vector<std::string> texts = {std::string(in.bytes(16)), std::string(5000, 'x'), ""};

  std::vector<argument> arguments;
  const std::string expected = model(format, arguments, in, texts);

  pt::outmemory stream(-1);
  stream.open_stream();
  call_with(stream, format, arguments);
  const pt::string written = stream.collected_text();
  check(std::string(written.text(), static_cast<std::size_t>(written.length())) == expected,
        "the engine writes the model's bytes");
  stream.close_stream();
  return 0;
}
