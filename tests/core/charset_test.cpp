// Character sets: the pattern notation, ranges, and reading that stops at the NUL.
#include "ortolib/core/charset.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace pt {
namespace {

// The members in ascending order.
std::string members(const charset& set) {
  std::string bytes;
  for (int b = 0; b < 256; ++b)
    if (charset_contains(set, static_cast<std::uint8_t>(b)))
      bytes += static_cast<char>(b);
  return bytes;
}

std::string parsed(const char* pattern) {
  charset set;
  charset_parse(set, pattern);
  return members(set);
}

std::string every_byte(int first, int last) {
  std::string bytes;
  for (int b = first; b <= last; ++b)
    bytes += static_cast<char>(b);
  return bytes;
}

TEST(Charset, PatternRows) {
  EXPECT_EQ(parsed("a-c"), "abc");
  EXPECT_EQ(parsed("c-a"), "");
  EXPECT_EQ(parsed("a-a"), "a");
  EXPECT_EQ(parsed("~41~42"), "AB");
  EXPECT_EQ(parsed("~0a~0D"), "\n\r");
  EXPECT_EQ(parsed("~-"), "-");
  EXPECT_EQ(parsed("~~"), "~");
  EXPECT_EQ(parsed(" #+~-0-9."), " #+-.0123456789");
  EXPECT_EQ(parsed("*"), every_byte(0, 255));
  EXPECT_EQ(parsed("**"), "*");
  EXPECT_EQ(parsed("a*"), "*a");
  EXPECT_EQ(parsed(""), "");
  EXPECT_EQ(parsed(nullptr), "");
  EXPECT_EQ(parsed("~00-~ff"), every_byte(0, 255));
  EXPECT_EQ(parsed("~20-~7e"), every_byte(0x20, 0x7e));
  EXPECT_EQ(parsed("x~7"), "\x07x");
  EXPECT_EQ(parsed("\x80-\xff"), every_byte(0x80, 0xff));  // compared as unsigned bytes
  EXPECT_EQ(parsed("a-c-e"), "-abce");
}

TEST(Charset, ParseDiscardsThePreviousContent) {
  charset set;
  charset_parse(set, "*");
  charset_parse(set, "q");
  EXPECT_EQ(members(set), "q");
}

TEST(Charset, RangesMatchOneByOneAdding) {
  for (int first = 0; first < 256; ++first) {
    for (int last = 0; last < 256; ++last) {
      charset set;
      charset_add_range(set, 'm', 'm');  // ranges add to what is there
      charset_add_range(set, static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(last));
      std::string expected = every_byte(first, last);
      if (first > 'm' || last < 'm') {
        expected += 'm';
        std::sort(expected.begin(), expected.end(), [](char a, char b) {
          return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
        });
      }
      ASSERT_EQ(members(set), expected) << first << "-" << last;
    }
  }
}

// Malformed patterns, each parsed from a heap block that ends exactly at its NUL (the address
// sanitizer stops any read beyond) and again followed by bytes that would change the set if
// they were read.
TEST(Charset, ReadingStopsAtTheNul) {
  const char* patterns[] = {"~",  "a~",  "a-",  "-",   "--",  "a--", "~4", "a-~4", "~4z",
                            "~z", "a-~", "~-~", "~g1", "x~f", "~0",  "-~", "a-b-"};
  for (const char* pattern : patterns) {
    std::size_t size = std::strlen(pattern) + 1;
    auto exact = std::make_unique<char[]>(size);
    std::memcpy(exact.get(), pattern, size);
    charset exact_set;
    charset_parse(exact_set, exact.get());

    std::string followed = std::string(pattern) + '\0' + "-~41Zz*";
    charset followed_set;
    charset_parse(followed_set, followed.c_str());
    EXPECT_EQ(members(followed_set), members(exact_set)) << pattern;
  }
  EXPECT_EQ(parsed("~"), "~");
  EXPECT_EQ(parsed("a-"), "-a");
}

TEST(Charset, ContainsTestsOneBit) {
  charset set;
  charset_add_range(set, 8, 8);
  EXPECT_EQ(set.bits[1], 1);
  EXPECT_TRUE(charset_contains(set, 8));
  EXPECT_FALSE(charset_contains(set, 9));
  EXPECT_FALSE(charset_contains(set, 0));
}

}  // namespace
}  // namespace pt
