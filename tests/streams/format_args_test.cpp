// Checked formatted output: arguments passed by their type and read as each directive reads,
// with the engine's own rules unchanged.
#include "ortolib/streams/format_args.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ortolib/core/ref.h"
#include "ortolib/platform/private/format.h"
#include "ortolib/streams/outmemory.h"

namespace pt {
namespace {

template <class... Arguments>
std::string checked(const char* format, const Arguments&... arguments) {
  ref<outmemory> out = make_ref<outmemory>();
  out->open_stream();
  out->format(format, arguments...);
  return std::string(std::string_view(out->collected_text()));
}

std::string platform_pointer(const void* value) {
  char text[64];
  int length = platform::format_bounded(text, sizeof text, "%p", value);
  return std::string(text, static_cast<std::size_t>(length));
}

enum colour { red = 2 };

TEST(CheckedFormat, TextsOfEveryKind) {
  EXPECT_EQ(checked("%s|%5s|%s|%s", string("pt"), string("ab"), std::string("std"), "c"),
            "pt|   ab|std|c");
  char buffer[] = "array";
  EXPECT_EQ(checked("%s %.2s", buffer, static_cast<char*>(buffer)), "array ar");
  EXPECT_EQ(checked("[%s]", string("a\0b", 3)), "[a]");  // %s writes up to a NUL
}

TEST(CheckedFormat, IntegersAreWidenedOrNarrowedToWhatTheDirectiveReads) {
  const long long big = 5000000000;
  EXPECT_EQ(checked("%d %ld %lld", big, big, big), "705032704 705032704 5000000000");
  EXPECT_EQ(checked("%lld %lld %llu", -1, 4000000000u, UINT64_MAX),
            "-1 4000000000 18446744073709551615");
  EXPECT_EQ(checked("%hd %u %x", 70000, -1, std::uint8_t{255}), "4464 4294967295 ff");
  EXPECT_EQ(checked("%c%c%c %d %d", 'a', 66, static_cast<signed char>('c'), true, red), "aBc 1 2");
  EXPECT_EQ(checked("%a", 0x0100007F), "127.0.0.1");
  // A 32-bit value read as a 64-bit timestamp: a day after the first instant.
  EXPECT_EQ(checked("%t", std::int32_t{86'400'000}).substr(0, 7), "02-Jan-");
}

TEST(CheckedFormat, RealsIntegersAsRealsAndPointers) {
  EXPECT_EQ(checked("%.1f %g %Lg %.3f", 3, 2.5f, 0.125L, 1.0), "3.0 2.5 0.125 1.000");
  int x = 0;
  EXPECT_EQ(checked("%p", &x), platform_pointer(&x));
  EXPECT_EQ(checked("%p", "t"), checked("%p", static_cast<const void*>("t")));
  EXPECT_EQ(checked("%p", nullptr), platform_pointer(nullptr));
}

TEST(CheckedFormat, AnArgumentOfAnotherKindOrNoneWritesNothingForItsDirective) {
  EXPECT_EQ(checked("[%s][%d][%p][%f]", 1, "text", 2.5, "x"), "[][][][]");
  EXPECT_EQ(checked("%d and %s.", 7), "7 and .");
  EXPECT_EQ(checked("%d", 1, 2), "1");
  EXPECT_EQ(checked("x%hy%d", 7, 9), "xy9");  // a modifier alone still takes its argument
}

TEST(CheckedFormat, TheEnginesRulesStand) {
  EXPECT_EQ(checked("%zu then", std::size_t{1}), "");
  EXPECT_EQ(checked("a%I64d b", 1), "a");
  EXPECT_EQ(checked("%.*s b", 2, "abc"), "");
  EXPECT_EQ(checked("%5%% after"), "");
  EXPECT_EQ(checked("100%%"), "100%");
}

}  // namespace
}  // namespace pt
