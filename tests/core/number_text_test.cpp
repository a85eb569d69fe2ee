// Number text against std::to_chars (bases 2-36) and a decoder (bases 37-64).
#include "ortolib/core/number_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <charconv>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace pt {
namespace {

std::string as_std(const string& s) { return {s.text(), static_cast<std::size_t>(s.length())}; }

std::vector<std::uint64_t> sample_values() {
  // clang-format off
  std::vector<std::uint64_t> values = {0, 1, 2, 7, 9, 10, 35, 36, 37, 63, 64, 255, 256, 65535,
                                       0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                       0x7FFFFFFFFFFFFFFF, 0x8000000000000000,
                                       0xFFFFFFFFFFFFFFFF, 0xFFFFFFFFFFFFFFFB};
  // clang-format on
  std::mt19937_64 random(20240301);
  for (int i = 0; i < 200; ++i)
    values.push_back(random() >> (random() % 64));
  return values;
}

// The expected text in bases 2 to 36: to_chars digits in capitals, then sign and fill.
std::string expected_text(std::uint64_t bits, bool is_signed, int base, int width, char fill) {
  char digits[80];
  bool negative = is_signed && base == 10 && static_cast<std::int64_t>(bits) < 0;
  auto result = negative ? std::to_chars(digits, digits + 80, static_cast<std::int64_t>(bits), 10)
                         : std::to_chars(digits, digits + 80, bits, base);
  std::string text(digits, result.ptr);
  for (char& ch : text)
    ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  if (width <= static_cast<int>(text.size()))
    return text;
  if (fill == '\0')
    fill = base == 10 ? ' ' : '0';
  std::string padding(static_cast<std::size_t>(width) - text.size(), fill);
  return negative ? "-" + padding + text.substr(1) : padding + text;
}

TEST(NumberText, MatchesToCharsInBases2To36) {
  for (std::uint64_t value : sample_values()) {
    for (int base = 2; base <= 36; ++base) {
      for (int width : {0, 1, 5, 21, 70}) {
        for (char fill : {'\0', '*', '0'}) {
          ASSERT_EQ(as_std(uint_to_string(value, base, width, fill)),
                    expected_text(value, false, base, width, fill))
              << value << " base " << base << " width " << width;
          ASSERT_EQ(as_std(int_to_string(static_cast<std::int64_t>(value), base, width, fill)),
                    expected_text(value, true, base, width, fill))
              << static_cast<std::int64_t>(value) << " base " << base << " width " << width;
        }
      }
    }
  }
}

// Reads text in bases 37 to 64 back, digit by digit.
std::uint64_t decode(const std::string& text, int base) {
  std::uint64_t value = 0;
  for (char ch : text) {
    const char* at = std::strchr(digit_alphabet, ch);
    EXPECT_NE(at, nullptr) << ch;
    auto digit = static_cast<std::uint64_t>(at - digit_alphabet);
    EXPECT_LT(digit, static_cast<std::uint64_t>(base));
    value = value * static_cast<std::uint64_t>(base) + digit;
  }
  return value;
}

TEST(NumberText, BasesAbove36UseTheWholeAlphabet) {
  for (std::uint64_t value : sample_values()) {
    for (int base = 37; base <= 64; ++base) {
      std::string text = as_std(uint_to_string(value, base, 0, '\0'));
      ASSERT_EQ(decode(text, base), value) << text << " base " << base;
      ASSERT_TRUE(value == 0 || text[0] != '.') << text;  // no leading zero digit
      // Signed values are their 64 bits outside base 10.
      ASSERT_EQ(as_std(int_to_string(static_cast<std::int64_t>(value), base, 0, '\0')), text);
      std::string padded = as_std(uint_to_string(value, base, 40, '\0'));
      ASSERT_EQ(padded, std::string(40 - text.size(), '.') + text);
    }
  }
}

struct text_row {
  std::int64_t value;
  int base;
  int width;
  char fill;
  const char* expected;
};

TEST(NumberText, Rows) {
  const text_row rows[] = {
      {255, 16, 0, '\0', "FF"},
      {255, 2, 10, '\0', "0011111111"},
      {-42, 10, 6, '\0', "-   42"},
      {-42, 10, 6, '0', "-00042"},
      {42, 10, 6, '\0', "    42"},
      {-5, 16, 0, '\0', "FFFFFFFFFFFFFFFB"},
      {0, 64, 0, '\0', "."},
      {63, 64, 0, '\0', "z"},
      {64, 64, 0, '\0', "/."},
      {7, 64, 3, '\0', "..5"},
      {INT64_MIN, 10, 0, '\0', "-9223372036854775808"},
      {INT64_MIN, 10, 22, '\0', "-  9223372036854775808"},
      {12345, 10, 3, '\0', "12345"},
      {12345, 1, 0, '\0', ""},
      {12345, 65, 10, '\0', ""},
      {0, 0, 10, '\0', ""},
      {0, -10, 10, '\0', ""},
  };
  for (const auto& row : rows)
    EXPECT_EQ(as_std(int_to_string(row.value, row.base, row.width, row.fill)), row.expected)
        << row.value << " base " << row.base;
  EXPECT_EQ(as_std(uint_to_string(static_cast<std::uint64_t>(-1), 10, 0, '\0')),
            "18446744073709551615");
}

TEST(NumberText, DecimalForms) {
  EXPECT_EQ(as_std(int_to_decimal(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(as_std(int_to_decimal(-1)), "-1");
  EXPECT_EQ(as_std(int_to_decimal(0)), "0");
  EXPECT_EQ(as_std(uint32_to_decimal(0xFFFFFFFF)), "4294967295");
  EXPECT_EQ(as_std(uint32_to_decimal(2)), "2");
}

}  // namespace
}  // namespace pt
