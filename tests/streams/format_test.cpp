// The formatting engine: its own rules checked byte for byte, and the numeric directives
// checked against the platform's bounded formatter itself.
#include "ortolib/streams/format.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>

#include "ortolib/core/datetime.h"
#include "ortolib/platform/private/format.h"
#include "ortolib/streams/estream.h"
#include "ortolib/streams/outmemory.h"
#include "test_streams.h"

namespace pt {
namespace {

// The formatted text, collected in memory.
std::string formatted(const char* format, ...) {
  outmemory out;
  out.open_stream();
  va_list arguments;
  va_start(arguments, format);
  out.vformat(format, arguments);
  va_end(arguments);
  string text = out.collected_text();
  return std::string(text.text(), static_cast<std::size_t>(text.length()));
}

// What the platform formatter makes of one directive and its argument.
template <class T>
std::string platform_text(const std::string& directive, T value) {
  char text[4096];
  int length = platform::format_bounded(text, sizeof text, directive.c_str(), value);
  return length < 0 ? "<does not fit>" : std::string(text, static_cast<std::size_t>(length));
}

// The platform formatter's whole text for one directive, however long (up to 64 KiB).
template <class T>
std::string whole_text(const std::string& directive, T value) {
  std::string text(std::size_t{1} << 16, '\0');
  const int length = platform::format_bounded(text.data(), text.size(), directive.c_str(), value);
  text.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
  return text;
}

const std::string int64_modifier = platform::int64_length_modifier;

timestamp at(int year, unsigned month, unsigned day, int hour, int minute, int second) {
  namespace chrono = std::chrono;
  const chrono::sys_days start = chrono::year{1} / chrono::January / 1;
  const chrono::sys_days date = chrono::year{year} / chrono::month{month} / chrono::day{day};
  return (date - start).count() * ms_per_day + hour * ms_per_hour + minute * ms_per_minute +
         second * ms_per_second;
}

TEST(FormatText, LiteralsAndDoubledPercentSigns) {
  EXPECT_EQ(formatted(""), "");
  EXPECT_EQ(formatted(nullptr), "");
  EXPECT_EQ(formatted("plain text"), "plain text");
  EXPECT_EQ(formatted("100%%"), "100%");
  EXPECT_EQ(formatted("%d%%!", 42), "42%!");
  EXPECT_EQ(formatted("%%%d%%%%", 7), "%7%%");
  EXPECT_EQ(formatted("ends in %"), "ends in ");
  EXPECT_EQ(formatted("%s=%d.", "x", 1), "x=1.");
}

TEST(FormatText, AnUnknownConversionEndsTheOutputAndReadsNoMoreArguments) {
  EXPECT_EQ(formatted("a%yb%d", 1), "a");
  EXPECT_EQ(formatted("width %*d after", 5, 6), "width ");
  EXPECT_EQ(formatted("%5%% after"), "");
  EXPECT_EQ(formatted("count%n more"), "count");
  EXPECT_EQ(formatted("%F", 1.0), "");
  EXPECT_EQ(formatted("%d then %q then %d", 1, 2), "1 then ");
}

TEST(FormatText, AModifierWithoutConversionTakesItsArgumentAndWritesTheLetter) {
  EXPECT_EQ(formatted("x%hy%d", 7, 9), "xy9");
  EXPECT_EQ(formatted("%lz%d", 7L, 9), "z9");
  EXPECT_EQ(formatted("%lln%s", static_cast<long long>(1) << 40, "s"), "ns");
  EXPECT_EQ(formatted("%Lw%d", 2.5, 3), "w3");
  EXPECT_EQ(formatted("%5h", 1), "");  // nothing after it, and the argument not rendered
}

TEST(FormatText, FlagCharactersAreLimitedTo122) {
  const std::string zeros(121, '0');
  const std::string widest = "<%" + zeros + "5d>";
  EXPECT_EQ(formatted(widest.c_str(), 42), platform_text(widest, 42));
  EXPECT_EQ(formatted(("<%" + zeros + "05d>").c_str(), 42), "<");
}

TEST(FormatText, CharactersAreWrittenDirectlyWithoutFlags) {
  EXPECT_EQ(formatted("[%c]", 'A'), "[A]");
  EXPECT_EQ(formatted("[%c]", 0), std::string("[\0]", 3));
  EXPECT_EQ(formatted("%c", 0x141), "A");  // the low byte
  EXPECT_EQ(formatted("%lc", 'w'), "w");   // never a wide character
  EXPECT_EQ(formatted("[%3c]", 'B'), platform_text("[%3c]", 'B'));
  EXPECT_EQ(formatted("[%-3c]", 'B'), platform_text("[%-3c]", 'B'));
}

TEST(FormatText, StringsAreWrittenWholeAndANullStringWritesNothing) {
  const std::string long_text(10000, 's');
  EXPECT_EQ(formatted("<%s>", long_text.c_str()), "<" + long_text + ">");
  EXPECT_EQ(formatted("<%s>", static_cast<const char*>(nullptr)), "<>");
  EXPECT_EQ(formatted("<%5s>", static_cast<const char*>(nullptr)), "<>");
  EXPECT_EQ(formatted("<%ls>", "narrow"), "<narrow>");
  EXPECT_EQ(formatted("<%-6s|", "ab"), platform_text("<%-6s|", "ab"));
  EXPECT_EQ(formatted("<%.2s>", "xyz"), platform_text("<%.2s>", "xyz"));
  EXPECT_EQ(formatted("<%1s>", long_text.c_str()), "<" + long_text + ">");  // flagged too
  EXPECT_EQ(formatted("%.4095s", long_text.c_str()), long_text.substr(0, 4095));
}

TEST(FormatNumbers, IntegersMatchThePlatformFormatter) {
  const struct {
    const char* directive;
    int value;
  } rows[] = {
      {"%d", 0},       {"%d", INT_MIN}, {"%i", INT_MAX}, {"%+5d", 42}, {"%-5d|", -42},
      {"%05d", -42},   {"% d", 7},      {"%.3d", 5},     {"%u", -1},   {"%x", 0xbeef},
      {"%#X", 0xbeef}, {"%#o", 8},      {"%10.4x", 255},
  };
  for (const auto& row : rows)
    EXPECT_EQ(formatted(row.directive, row.value), platform_text(row.directive, row.value))
        << row.directive;
}

TEST(FormatNumbers, WithoutModifierAndWithHThe32BitArgumentIsRead) {
  // Each directive reads exactly 32 bits: the next argument follows undisturbed.
  EXPECT_EQ(formatted("%hd %d", 70000, 1), platform_text("%hd", 70000) + " 1");
  EXPECT_EQ(formatted("%hx", 0x12345), platform_text("%hx", 0x12345));
  EXPECT_EQ(formatted("%Ld", -9), "-9");
}

TEST(FormatNumbers, WithLALongIsReadAtThePlatformsWidth) {
  // 64 bits on Linux, 32 on Windows: what the platform's formatter makes of a long.
  for (long value : {-5L, -1L, LONG_MIN, LONG_MAX}) {
    EXPECT_EQ(formatted("%ld|%lu|%lx %d", value, value, value, 6),
              platform_text("%ld|", value) + platform_text("%lu|", value) +
                  platform_text("%lx", value) + " 6");
  }
  if constexpr (sizeof(long) == 8)
    EXPECT_EQ(formatted("%ld", 5000000000L), "5000000000");
  else  // Windows: 5000000000 is no long there; its low 32 bits are
    EXPECT_EQ(formatted("%ld", static_cast<long>(5000000000 & 0xFFFFFFFF)), "705032704");
}

TEST(FormatNumbers, WithLLAll64BitsAreRead) {
  const long long values[] = {0, LLONG_MIN, LLONG_MAX, 1LL << 40, -1};
  for (long long value : values) {
    EXPECT_EQ(formatted("%lld", value), platform_text("%" + int64_modifier + "d", value));
    EXPECT_EQ(formatted("%-22llx|", value), platform_text("%-22" + int64_modifier + "x|", value));
  }
  EXPECT_EQ(formatted("%lld %d", 1LL << 33, 5), "8589934592 5");
  EXPECT_EQ(formatted("%llu", -1LL), "18446744073709551615");
}

TEST(FormatNumbers, FloatingPointMatchesThePlatformFormatter) {
  const struct {
    const char* directive;
    double value;
  } rows[] = {
      {"%f", 3.14159}, {"%.2f", -2.005}, {"%10.3e", 12345.678}, {"%E", 1e-10},
      {"%g", 0.0001},  {"%G", 1e20},     {"%+.0f", 2.5},        {"%#g", 1.0},
  };
  for (const auto& row : rows)
    EXPECT_EQ(formatted(row.directive, row.value), platform_text(row.directive, row.value))
        << row.directive;
  // L and l read a double too.
  EXPECT_EQ(formatted("%Lf %d", 1.5, 2), platform_text("%f", 1.5) + " 2");
  EXPECT_EQ(formatted("%.1lf", 1.25), platform_text("%.1f", 1.25));
  EXPECT_EQ(formatted("<%5000f>", 1.0), whole_text("<%5000f>", 1.0));  // past the buffer
  EXPECT_EQ(formatted("%.0f", 1e300).size(), 301u);
}

TEST(FormatNumbers, AtTheEdgeOfTheBufferEveryTextIsWhole) {
  // One character either side of 4096, for each way a text gets there.
  for (const char* directive :
       {"%4095d", "%4096d", "%.4095d", "%.4096d", "%+.4094d", "%+.4095d", "%#.4093x", "%#.4094x"})
    EXPECT_EQ(formatted(directive, 7), whole_text(directive, 7)) << directive;
  const struct {
    const char* directive;
    double value;
  } rows[] = {
      {"%.4093f", 1.0},       {"%.4094f", 1.0},      {"%.3786f", 0x1p1020}, {"%.3787f", 0x1p1020},
      {"%.3785f", -0x1p1020}, {"%.3785f", -1e308},   {"%.3786f", 1e308},    {"%.4089e", 1.0},
      {"%.4090e", -1.0},      {"%#.4094g", 1.0},     {"%#.4095g", 0.0},     {"%4095.3f", 2.5},
      {"%.4095g", 0.1},       {"%.4094f", INFINITY},
  };
  for (const auto& row : rows)
    EXPECT_EQ(formatted(row.directive, row.value), whole_text(row.directive, row.value))
        << row.directive << " of " << row.value;
}

// Texts far longer than the engine's buffer, against the platform formatter's whole text: the
// padding on either side or after a sign or "0x", zeros of a precision before the digits, after
// the point and before an exponent, each as the platform writes it.
TEST(FormatNumbers, TextsPastTheBufferAreWrittenWholeInPieces) {
  for (const char* directive : {"%9000d", "%-9000d|", "%09000d", "%+.9000d", "% 9000.5000d",
                                "%-+9000.5000d|", "%#.9000x", "%#09000X", "%-#9000o|"}) {
    EXPECT_EQ(formatted(directive, -42), whole_text(directive, -42)) << directive;
    EXPECT_EQ(formatted(directive, 0), whole_text(directive, 0)) << directive;
  }
  const double reals[] = {1.0 / 3, -0x1p1020, 0.0, -INFINITY};
  for (const char* directive : {"%.9000f", "%09000.2f", "%-9000e|", "%+.5000e", "%#.5000g",
                                "%-#9000.4500G|", "%9000g", "%09000.3000f"}) {
    for (double value : reals)
      EXPECT_EQ(formatted(directive, value), whole_text(directive, value))
          << directive << " of " << value;
  }
  int object = 0;
  for (const char* directive : {"%9000p", "%-9000p|", "%.5000p"})
    EXPECT_EQ(formatted(directive, &object), whole_text(directive, &object)) << directive;
  EXPECT_EQ(formatted("%9000c|%-9000c|%09000c", 'x', 'y', 'z'),
            whole_text("%9000c|", 'x') + whole_text("%-9000c|", 'y') + whole_text("%09000c", 'z'));
  // A precision that only bounds the text: the text of one that fits (a double has at most 767
  // significant digits, this one all of them).
  const double most_digits = 4.4501477170144023e-308;
  EXPECT_EQ(formatted("%.999999999g", most_digits), whole_text("%.4000g", most_digits));
  EXPECT_EQ(formatted("<%-.999999999s|%-.999999999c>", "abc", 'x'), "<abc|x>");
  // A width or precision beyond the int range, which no formatter reads, writes nothing.
  EXPECT_EQ(formatted("<%2147483648s|%.2147483648d|%-.4294967299s>", "a", 7, "abc"), "<||>");
  // Out of order, no number sizes a text: the formatter prints part of the directive.
  EXPECT_EQ(formatted("%5000#d", 7), whole_text("%5000#d", 7));
}

TEST(FormatText, FlaggedStringsPastTheBufferAreWrittenWhole) {
  const std::string text(5000, 's'), cut(4500, 's'), padding(3000, ' ');
  EXPECT_EQ(formatted("[%-10s]", text.c_str()), "[" + text + "]");
  EXPECT_EQ(formatted("[%.4500s]", text.c_str()), "[" + cut + "]");
  EXPECT_EQ(formatted("[%8000s|%-8000.4500s]", text.c_str(), text.c_str()),
            "[" + padding + text + "|" + cut + padding + std::string(500, ' ') + "]");
  // The "0" flag pads as the platform pads a short text.
  EXPECT_EQ(formatted("%08000s", "ab"), std::string(7998, whole_text("%03s", "x")[0]) + "ab");
}

TEST(FormatNumbers, PointersMatchThePlatformFormatter) {
  int object = 0;
  void* pointer = &object;
  EXPECT_EQ(formatted("%p", pointer), platform_text("%p", pointer));
  EXPECT_EQ(formatted("%20p|", pointer), platform_text("%20p|", pointer));
  EXPECT_EQ(formatted("%lp", pointer), platform_text("%p", pointer));
}

TEST(FormatOwnDirectives, AddressesAreWrittenLowestByteFirst) {
  const unsigned localhost = 127u | 0u << 8 | 0u << 16 | 1u << 24;
  EXPECT_EQ(formatted("%a", localhost), "127.0.0.1");
  EXPECT_EQ(formatted("[%15a]", 0xFFFFFFFFu), "[255.255.255.255]");  // flags ignored
  EXPECT_EQ(formatted("%a %d", 0x04030201u, 5), "1.2.3.4 5");
}

TEST(FormatOwnDirectives, TimestampsRenderInTheDefaultLocale) {
  const timestamp t = at(2024, 3, 1, 13, 5, 9);
  EXPECT_EQ(formatted("%t", t), "01-Mar-2024 13:05:09");
  EXPECT_EQ(formatted("%T", t), "Fri Mar 01 13:05:09 2024");
  EXPECT_EQ(formatted("%20t|%d", t, 3), "01-Mar-2024 13:05:09|3");  // flags ignored
  EXPECT_EQ(formatted("%t", at(9999, 12, 31, 23, 59, 59) + 999), "31-Dec-9999 23:59:59");
}

TEST(FormatOwnDirectives, ANegativeTimestampIsTheFirstInstantAndAMissingDayNothing) {
  EXPECT_EQ(formatted("%t", static_cast<timestamp>(-5)), formatted("%t", timestamp{0}));
  EXPECT_EQ(formatted("%T", INT64_MIN), formatted("%T", timestamp{0}));
  EXPECT_EQ(formatted("%t", timestamp{0}).substr(0, 7), "01-Jan-");
  EXPECT_EQ(formatted("[%t]%d", timestamp{315537897600000}, 4), "[]4");
  EXPECT_EQ(formatted("[%T]", INT64_MAX), "[]");
}

TEST(FormatOwnDirectives, TheTimePatternsAreReadAtEachDirective) {
  const char* saved = short_time_format;
  short_time_format = "%Y";
  EXPECT_EQ(formatted("%t", at(2024, 3, 1, 0, 0, 0)), "2024");
  short_time_format = "";
  EXPECT_EQ(formatted("[%t]", at(2024, 3, 1, 0, 0, 0)), "[]");
  short_time_format = saved;
}

TEST(FormatStream, AWriteErrorLeavesWhatWasWrittenAndStopsTheCall) {
  test::recording_output out(false, 0);
  out.fail_at_write = 1;
  out.open_stream();
  EXPECT_EQ(test::stream_error_of([&] { test::format_onto(out, "ab%dcd", 1); }), 28);
  EXPECT_EQ(out.written(), "ab");
  EXPECT_EQ(out.writes.size(), 2u);  // "ab" and the failed one; nothing after
}

TEST(FormatStream, PiecesGoToTheStreamAsTheyCome) {
  test::recording_output out(false, 0);
  out.open_stream();
  test::format_onto(out, "x=%d, %s%c%%", 5, "text", '!');
  EXPECT_EQ(out.writes, (std::vector<std::string>{"x=", "5", ", ", "text", "!", "%"}));
}

}  // namespace
}  // namespace pt
