// Lowercase hex, as the helper child reads the bytes of its commands and prints its arguments:
// the one encoder and decoder of the tests, the helper child and the fuzz targets. Header-only
// and free of the library, so that every program of the tests can use it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pt::test {

inline std::string hex(std::string_view bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * bytes.size());
  for (unsigned char byte : bytes) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

// The value of one hex digit, in either case; -1 for any other character.
inline int hex_digit_value(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// The bytes that an even number of hex digits spell; nothing for any other text.
inline std::optional<std::string> from_hex(std::string_view text) {
  if (text.size() % 2 != 0)
    return std::nullopt;
  std::string bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = hex_digit_value(text[i]);
    const int low = hex_digit_value(text[i + 1]);
    if (high < 0 || low < 0)
      return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

// What the helper child's hex-args prints for these arguments: each in hex on a line of its own,
// ended by line_end ("\n" as the child writes it, "\r\n" once cmdwrap has written it to a
// result file).
inline std::string hex_lines(const std::vector<std::string>& arguments,
                             std::string_view line_end = "\n") {
  std::string lines;
  for (const std::string& argument : arguments) {
    lines += hex(argument);
    lines += line_end;
  }
  return lines;
}

}  // namespace pt::test
