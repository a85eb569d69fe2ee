// Sets of byte values, 256 bits in 32 bytes, built from a short pattern notation.
//
// Pattern notation (charset_parse):
//   "*" alone          every byte
//   c                  the character c itself
//   ~hh                the byte with hexadecimal value hh ("~0a" line feed, "~41" "A");
//                      "~h" at the very end of the pattern is the single digit's value
//   ~c (c not hex)     c itself ("~-" a dash, "~~" a tilde, "~*" a star)
//   x-y                every byte from element x to element y, compared unsigned; none when
//                      x > y ("a-c" is abc, "~00-~ff" everything)
// Reading never goes past the pattern's NUL, whatever the pattern holds.
#pragma once

#include "ortolib/config.h"

#include <cstdint>

namespace pt {

// Byte value b is a member when bit (b mod 8) of bits[b / 8] is set. A plain value: copying
// copies the 32 bytes.
struct charset {
  std::uint8_t bits[32] = {};
};

// Replaces the content of set with the members the zero-terminated pattern describes.
void charset_parse(charset& set, const char* pattern);

// Adds every byte from first to last, both included; nothing when first > last.
void charset_add_range(charset& set, std::uint8_t first, std::uint8_t last);

// True when byte is a member.
inline bool charset_contains(const charset& set, std::uint8_t byte) {
  return (set.bits[byte >> 3] >> (byte & 7) & 1) != 0;
}

}  // namespace pt
