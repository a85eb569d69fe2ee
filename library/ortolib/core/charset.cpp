// Building character sets from patterns, element by element, never past the terminating NUL.
#include "ortolib/core/charset.h"

#include <cstring>

namespace pt {

namespace {

// The value of a hexadecimal digit, or -1.
int hex_value(char ch) {
  if (ch >= '0' && ch <= '9')
    return ch - '0';
  if (ch >= 'a' && ch <= 'f')
    return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F')
    return ch - 'A' + 10;
  return -1;
}

// Reads one element at *cursor (which is not at the NUL) and moves past it.
std::uint8_t read_element(const char*& cursor) {
  char ch = *cursor++;
  if (ch != '~' || *cursor == '\0')
    return static_cast<std::uint8_t>(ch);  // a "~" that ends the pattern stands for itself
  int high = hex_value(*cursor);
  if (high < 0)
    return static_cast<std::uint8_t>(*cursor++);
  ++cursor;
  int low = hex_value(*cursor);
  // A single digit at the end, or a digit not followed by a second one, is that digit's value;
  // what follows is read as the next element.
  if (low < 0)
    return static_cast<std::uint8_t>(high);
  ++cursor;
  return static_cast<std::uint8_t>(high * 16 + low);
}

}  // namespace

void charset_add_range(charset& set, std::uint8_t first, std::uint8_t last) {
  if (first > last)
    return;
  int first_byte = first >> 3;
  int last_byte = last >> 3;
  auto from_bit = static_cast<std::uint8_t>(0xFF << (first & 7));
  auto to_bit = static_cast<std::uint8_t>(0xFF >> (7 - (last & 7)));
  if (first_byte == last_byte) {
    set.bits[first_byte] |= static_cast<std::uint8_t>(from_bit & to_bit);
    return;
  }
  set.bits[first_byte] |= from_bit;
  for (int i = first_byte + 1; i < last_byte; ++i)
    set.bits[i] = 0xFF;
  set.bits[last_byte] |= to_bit;
}

void charset_parse(charset& set, const char* pattern) {
  std::memset(set.bits, 0, sizeof set.bits);
  if (pattern == nullptr)
    return;
  if (pattern[0] == '*' && pattern[1] == '\0') {
    std::memset(set.bits, 0xFF, sizeof set.bits);
    return;
  }
  const char* cursor = pattern;
  while (*cursor != '\0') {
    std::uint8_t first = read_element(cursor);
    // A "-" that ends the pattern is not a range: it is added as a character of its own.
    if (cursor[0] == '-' && cursor[1] != '\0') {
      ++cursor;
      charset_add_range(set, first, read_element(cursor));
    } else {
      charset_add_range(set, first, first);
    }
  }
}

}  // namespace pt
