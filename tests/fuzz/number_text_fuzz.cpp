// Number text against independent oracles: std::to_chars for bases 2 to 36, decoding with the
// 64-character alphabet for bases 37 to 64, and the width, fill and sign rules written out.
#include "ortolib/core/number_text.h"

#include "fuzz/fuzz_input.h"

#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using pt::fuzz::check;

std::string as_std(const pt::string& s) {
  check(s.text()[s.length()] == '\0', "a NUL follows the characters");
  return std::string(s.text(), static_cast<std::size_t>(s.length()));
}

template <class T>
std::string to_chars_text(T value, int base) {
  char buffer[80];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, base);
  std::string text(buffer, result.ptr);
  for (char& c : text)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// How many digits value has in base: the smallest d with base^d > value.
std::size_t digit_count(std::uint64_t value, int base) {
  std::size_t count = 1;
  for (unsigned __int128 power = static_cast<unsigned>(base); power <= value; power *= base)
    ++count;
  return count;
}

// Checks that digits, in a base from 37 to 64, are alphabet digits below the base that
// read back as value.
void check_decodes(std::string_view digits, int base, std::uint64_t value) {
  unsigned __int128 decoded = 0;
  for (char c : digits) {
    const char* found = std::strchr(pt::digit_alphabet, c);
    check(c != '\0' && found != nullptr, "every digit is in the alphabet");
    const auto digit = static_cast<unsigned>(found - pt::digit_alphabet);
    check(digit < static_cast<unsigned>(base), "every digit is below the base");
    decoded = decoded * static_cast<unsigned>(base) + digit;
    check(decoded <= UINT64_MAX, "the digits stay within 64 bits");
  }
  check(decoded == value, "the digits read back as the value");
}

void check_conversion(std::uint64_t bits, bool is_signed, int base, int width, char fill) {
  const std::string text =
      as_std(is_signed ? pt::int_to_string(static_cast<std::int64_t>(bits), base, width, fill)
                       : pt::uint_to_string(bits, base, width, fill));
  if (base < 2 || base > 64) {
    check(text.empty(), "a base outside 2 to 64 gives the empty string");
    return;
  }

  const bool negative = is_signed && base == 10 && static_cast<std::int64_t>(bits) < 0;
  const std::string sign = negative ? "-" : "";
  std::string digits;
  if (negative)
    digits = to_chars_text(static_cast<std::int64_t>(bits), 10).substr(1);
  else if (base <= 36)
    digits = to_chars_text(bits, base);
  else {
    const std::size_t count = digit_count(bits, base);
    check(text.size() >= count, "the text holds every digit");
    digits = text.substr(text.size() - count);
    check_decodes(digits, base, bits);
  }

  const std::size_t unpadded = sign.size() + digits.size();
  if (width <= static_cast<int>(unpadded)) {
    check(text == sign + digits, "without padding the text is the sign and the digits");
    return;
  }
  const char fill_char = fill != '\0' ? fill : base == 10 ? ' ' : base > 36 ? '.' : '0';
  const std::string expected =
      sign + std::string(static_cast<std::size_t>(width) - unpadded, fill_char) + digits;
  check(text == expected, "padding: the sign, then the fill, then the digits");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pt::fuzz::fuzz_input input(data, size);
  while (!input.at_end()) {
    const auto bits = input.integer<std::uint64_t>();
    const std::uint8_t flags = input.byte();

    // Mostly bases around the valid range; now and then any 32-bit value.
    const std::uint8_t base_byte = input.byte();
    const int base = base_byte < 0xF0 ? base_byte % 67 : input.integer<std::int32_t>();

    // Widths -5 to 80; now and then any negative width.
    const std::uint8_t width_byte = input.byte();
    const int width = width_byte != 0xFF ? width_byte % 86 - 5
                                         : -(input.integer<std::int32_t>() & INT32_MAX) - 1;

    const char fill = static_cast<char>(input.byte());
    check_conversion(bits, (flags & 1) != 0, base, width, fill);

    check(as_std(pt::int_to_decimal(static_cast<std::int64_t>(bits))) ==
              to_chars_text(static_cast<std::int64_t>(bits), 10),
          "int_to_decimal is the plain decimal text");
    check(as_std(pt::uint32_to_decimal(static_cast<std::uint32_t>(bits))) ==
              to_chars_text(static_cast<std::uint32_t>(bits), 10),
          "uint32_to_decimal is the plain decimal text");
  }
  return 0;
}
