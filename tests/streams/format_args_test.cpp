// Checked formatted output: arguments passed by their type, integers printed at their own
// width, texts of every kind, a format made at run time checked as it is written, and
// formatting into a string.
#include "ortolib/streams/format_args.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "ortolib/core/ref.h"
#include "ortolib/platform/private/format.h"
#include "ortolib/streams/format_flags.h"
#include "ortolib/streams/format_string.h"
#include "ortolib/streams/format_to_string.h"
#include "ortolib/streams/outmemory.h"

namespace pt {
namespace {

template <class... Arguments>
std::string checked(format_string<Arguments...> format, const Arguments&... arguments) {
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

template <class T>
std::string decimal(T value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

enum colour { red = 2 };

TEST(CheckedFormat, TextsOfEveryKind) {
  EXPECT_EQ(checked("%s|%5s|%s|%s", string("pt"), string("ab"), std::string("std"), "c"),
            "pt|   ab|std|c");
  char buffer[] = "array";
  EXPECT_EQ(checked("%s %.2s", buffer, static_cast<char*>(buffer)), "array ar");
  EXPECT_EQ(checked("[%s]", string("a\0b", 3)), "[a]");  // %s writes up to a NUL
  // A view has no NUL after it: only its own bytes are written, up to a NUL within them.
  const std::string_view view = std::string_view("abcdef").substr(1, 3);
  EXPECT_EQ(checked("%s|%5s|%-5s|%.2s|%.9s", view, view, view, view, view),
            "bcd|  bcd|bcd  |bc|bcd");
  EXPECT_EQ(checked("[%s][%3s]", std::string_view("x\0y", 3), std::string_view("x\0y", 3)),
            "[x][  x]");
  // Wider than the engine's buffer: written whole, as for C texts.
  EXPECT_EQ(checked("[%4100s|%-4100s]", view, view),
            "[" + std::string(4097, ' ') + "bcd|bcd" + std::string(4097, ' ') + "]");
}

TEST(CheckedFormat, IntegersPrintAtTheirOwnWidthWhateverTheModifier) {
  const long long big = 5000000000;
  EXPECT_EQ(checked("%d %ld %hd %hhd %lld %jd %zd", big, big, big, big, big, big, big),
            "5000000000 5000000000 5000000000 5000000000 5000000000 5000000000 5000000000");
  EXPECT_EQ(checked("n=%zu items", SIZE_MAX), "n=" + decimal(SIZE_MAX) + " items");
  EXPECT_EQ(checked("%jd %d", INTMAX_MIN, UINT64_MAX),
            decimal(INTMAX_MIN) + " 18446744073709551615");
  // Unsigned conversions show the bits at the type's own width.
  EXPECT_EQ(checked("%x %x %x %hx %o", short{-1}, -1, -1LL, 70000, std::uint8_t{255}),
            "ffff ffffffff ffffffffffffffff 11170 377");
  EXPECT_EQ(checked("%u %+d %05d %#llx", -1, 5u, -42, 255), "4294967295 +5 -0042 0xff");
  EXPECT_EQ(checked("%c%c%c %d %d", 'a', 66, static_cast<signed char>('c'), true, red), "aBc 1 2");
  EXPECT_EQ(checked("%a", 0x0100007F), "127.0.0.1");
  // A 32-bit value read as a 64-bit timestamp: a day after the first instant.
  EXPECT_EQ(checked("%t", std::int32_t{86'400'000}).substr(0, 7), "02-Jan-");
}

TEST(CheckedFormat, RealsIntegersAsRealsAndPointers) {
  EXPECT_EQ(checked("%.1f %g %Lg %.3f %lf", 3, 2.5f, 0.125L, 1.0, 0.5),
            "3.0 2.5 0.125 1.000 0.500000");
  EXPECT_EQ(checked("%.0f", UINT64_MAX), "18446744073709551616");  // unsigned, as a double
  int x = 0;
  EXPECT_EQ(checked("%p", &x), platform_pointer(&x));
  EXPECT_EQ(checked("%p", "t"), checked("%p", static_cast<const void*>("t")));
  EXPECT_EQ(checked("%p", nullptr), platform_pointer(nullptr));
}

TEST(CheckedFormat, ARuntimeFormatMarksWhatDoesNotMatch) {
  EXPECT_EQ(checked(runtime_format("[%s][%d][%p][%f]"), 1, "text", 2.5, "x"),
            "[%!s(integer)][%!d(text)][%!p(real)][%!f(text)]");
  EXPECT_EQ(checked(runtime_format("%d and %s."), 7), "7 and %!s(missing).");
  EXPECT_EQ(checked(runtime_format("%d"), 1, "two", 3.0), "1%!(extra text)%!(extra real)");
  // An unknown directive is shown as far as it was read, and ends the output as it always has.
  EXPECT_EQ(checked(runtime_format("a %y b %d"), 1), "a %!y(unknown)");
  EXPECT_EQ(checked(runtime_format("%I64d"), 1), "%!I(unknown)");
  EXPECT_EQ(checked(runtime_format("%.*s"), 2, "ab"), "%!.*(unknown)");
  EXPECT_EQ(checked(runtime_format("%5% x")), "%!5%(unknown)");
  EXPECT_EQ(checked(runtime_format("[%5-d]"), 1), "[%!5-(unknown)");  // flags out of order
  EXPECT_EQ(checked(runtime_format("x%hy%d"), 7, 9), "x%!hy(unknown)");
  EXPECT_EQ(checked(runtime_format("100%")), "100%!(unknown)");
  // Matching arguments print as from a literal; the format may be any kind of string.
  const string from_string = "%s=%d|%%";
  EXPECT_EQ(checked(runtime_format(from_string), "n", 5), "n=5|%");
  EXPECT_EQ(checked(runtime_format(std::string("%zu")), std::size_t{7}), "7");
  EXPECT_EQ(checked(runtime_format(nullptr), 1), "%!(extra integer)");
}

TEST(CheckedFormat, TheCompileTimeFlagsAreTheEnginesFlags) {
  for (int byte = 0; byte < 256; ++byte)
    EXPECT_EQ(format_syntax::is_flag(static_cast<char>(byte)),
              charset_contains(format_flag_chars, static_cast<std::uint8_t>(byte)))
        << byte;
}

// What the check of a literal accepts for a letter is what the engine reads at run time: an
// argument of each class, through a runtime format, is marked exactly when the check refuses it.
TEST(CheckedFormat, TheCompileTimeReadingIsTheEnginesReading) {
  using format_detail::argument_class;
  const int object = 0;
  for (int letter = ' '; letter <= '~'; ++letter) {
    if (!format_syntax::is_conversion(static_cast<char>(letter)))
      continue;
    const std::string format{'%', static_cast<char>(letter)};
    const std::pair<argument_class, std::string> written[] = {
        {argument_class::integer, checked(runtime_format(format), 7)},
        {argument_class::real, checked(runtime_format(format), 1.5)},
        {argument_class::text, checked(runtime_format(format), "x")},
        {argument_class::pointer, checked(runtime_format(format), &object)}};
    for (const auto& [given, text] : written)
      EXPECT_EQ(text.starts_with("%!"),
                !format_detail::directive_reads(static_cast<char>(letter), given))
          << format << " " << static_cast<int>(given) << ": " << text;
  }
}

TEST(FormatToString, ReturnsTheTextAFormatWrites) {
  EXPECT_EQ(format_to_string("%s: %zu items at %05.1f%%", std::string("list"), std::size_t{3}, 2.5),
            "list: 3 items at 002.5%");
  EXPECT_TRUE(format_to_string("").is_empty());
  const string long_text = format_to_string("%s%s", std::string(5000, 'x'), std::string(5000, 'y'));
  EXPECT_EQ(long_text.length(), 10000);
  EXPECT_EQ(format_to_string(runtime_format("%d"), "x"), "%!d(text)");
}

}  // namespace
}  // namespace pt
