// Character sets from arbitrary patterns: the pattern sits in a heap block that ends right
// after its NUL, so the address sanitizer catches any read past the terminator; well-formed
// patterns must give exactly the members of a plain model of the notation.
#include "ortolib/core/charset.h"

#include "fuzz/fuzz_input.h"
#include "support/hex.h"

#include <bitset>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

using pt::fuzz::check;
using members = std::bitset<256>;

members members_of(const pt::charset& set) {
  members result;
  for (int b = 0; b < 256; ++b)
    result[b] = pt::charset_contains(set, static_cast<std::uint8_t>(b));
  return result;
}

void add_range(members& set, int first, int last) {
  for (int b = first; b <= last; ++b)
    set[b] = true;
}

// The notation read plainly. Forms whose members are left open ("~" at the end, "-" at the end
// right after an element, "~" and a hex digit followed by a character that is not one) clear
// well_formed, and the model stops there.
struct pattern_model {
  std::string_view pattern;
  std::size_t next = 0;
  bool well_formed = true;

  int element() {
    const char c = pattern[next++];
    if (c != '~')
      return static_cast<unsigned char>(c);
    if (next == pattern.size()) {
      well_formed = false;
      return -1;
    }
    const int high = pt::test::hex_digit_value(pattern[next]);
    if (high < 0)
      return static_cast<unsigned char>(pattern[next++]);
    if (++next == pattern.size())
      return high;  // a single digit that ends the pattern
    const int low = pt::test::hex_digit_value(pattern[next++]);
    if (low < 0)
      well_formed = false;
    return high * 16 + low;
  }

  members parse() {
    members set;
    if (pattern == "*")
      return set.set();
    while (well_formed && next < pattern.size()) {
      const int first = element();
      if (!well_formed)
        break;
      if (next < pattern.size() && pattern[next] == '-') {
        if (++next == pattern.size()) {
          well_formed = false;
          break;
        }
        const int last = element();
        if (well_formed)
          add_range(set, first, last);
      } else {
        set[first] = true;
      }
    }
    return set;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The pattern is the input up to its first NUL, in a block of exactly that length plus the NUL.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string_view text = input.substr(0, input.find('\0'));
  const auto pattern = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(pattern.get(), text.data(), text.size());
  pattern[text.size()] = '\0';

  pt::charset set;
  std::memset(set.bits, 0xA5, sizeof set.bits);  // parsing discards what was there
  pt::charset_parse(set, pattern.get());
  const members parsed = members_of(set);

  pattern_model model{text};
  const members expected = model.parse();
  if (model.well_formed)
    check(parsed == expected, "a well-formed pattern gives exactly the model's members");
  if (text.find_first_of("-~") == std::string_view::npos && text != "*") {
    members own_bytes;
    for (char c : text)
      own_bytes[static_cast<unsigned char>(c)] = true;
    check(parsed == own_bytes, "a pattern without '-' or '~' gives exactly its bytes");
  }

  // Adding a range keeps every member and adds exactly the bytes from first to last.
  const std::uint8_t first = text.size() > 0 ? static_cast<std::uint8_t>(text[0]) : 0;
  const std::uint8_t last = text.size() > 1 ? static_cast<std::uint8_t>(text[1]) : 255;
  pt::charset_add_range(set, first, last);
  members widened = parsed;
  add_range(widened, first, last);
  check(members_of(set) == widened, "charset_add_range adds exactly the range");
  return 0;
}
