// The formatting engine's flag characters, built at start-up.
#include "ortolib/streams/format_flags.h"

#include <gtest/gtest.h>

namespace pt {
namespace {

TEST(FormatFlags, FifteenMembers) {
  std::string expected = " #+-.0123456789";
  int count = 0;
  for (int b = 0; b < 256; ++b) {
    bool member = charset_contains(format_flag_chars, static_cast<std::uint8_t>(b));
    count += member ? 1 : 0;
    EXPECT_EQ(member, expected.find(static_cast<char>(b)) != std::string::npos) << b;
  }
  EXPECT_EQ(count, 15);
  EXPECT_FALSE(charset_contains(format_flag_chars, '*'));
  EXPECT_FALSE(charset_contains(format_flag_chars, 'l'));
}

}  // namespace
}  // namespace pt
