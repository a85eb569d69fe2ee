// Digits from the end of a 64-digit buffer backwards, then sign and fill.
#include "ortolib/core/number_text.h"

#include <cstring>

namespace pt {

namespace {

string convert(std::uint64_t magnitude, bool negative, std::int32_t base, std::int32_t width,
               char fill) {
  if (base < 2 || base > 64)
    return string();
  // Bases up to 36 skip the "./" in front of the digits.
  const char* digits = base > 36 ? digit_alphabet : digit_alphabet + 2;

  char buffer[65];  // 64 binary digits of the largest value, then a NUL
  char* first = buffer + 64;
  *first = '\0';
  const auto divisor = static_cast<std::uint64_t>(base);
  do {
    *--first = digits[magnitude % divisor];
    magnitude /= divisor;
  } while (magnitude != 0);

  auto digit_count = static_cast<std::int32_t>(buffer + 64 - first);
  std::int32_t produced = digit_count + (negative ? 1 : 0);
  if (width <= produced) {
    string text;
    char* out = text.set_length(produced);
    if (negative)
      *out++ = '-';
    std::memcpy(out, first, static_cast<std::size_t>(digit_count));
    return text;
  }

  if (fill == '\0')
    fill = base == 10 ? ' ' : base > 36 ? '.' : '0';
  string text;
  char* out = text.set_length(width);
  if (negative)
    *out++ = '-';
  std::size_t fill_count = static_cast<std::size_t>(width - produced);
  std::memset(out, fill, fill_count);
  std::memcpy(out + fill_count, first, static_cast<std::size_t>(digit_count));
  return text;
}

}  // namespace

string int_to_string(std::int64_t value, std::int32_t base, std::int32_t width, char fill) {
  if (base == 10 && value < 0) {
    // The most negative value has no positive counterpart, but its magnitude is still exact as
    // an unsigned number: 0 - value computed in 64 unsigned bits.
    auto magnitude = 0 - static_cast<std::uint64_t>(value);
    return convert(magnitude, true, base, width, fill);
  }
  return convert(static_cast<std::uint64_t>(value), false, base, width, fill);
}

string uint_to_string(std::uint64_t value, std::int32_t base, std::int32_t width, char fill) {
  return convert(value, false, base, width, fill);
}

string int_to_decimal(std::int64_t value) { return int_to_string(value, 10, 0, ' '); }

string uint32_to_decimal(std::uint32_t value) { return uint_to_string(value, 10, 0, ' '); }

}  // namespace pt
