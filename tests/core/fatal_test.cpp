// The fatal-error path: the report text, the handler, and the exit status.
#include "ortolib/core/fatal.h"

#include <gtest/gtest.h>

#include <string>

#include "ortolib/platform/private/process.h"
#include "support/fatal_report.h"

namespace pt {
namespace {

std::string fatal_text(std::uint32_t code, const char* message) {
  char text[fatal_text_size];
  int length = format_fatal_text(text, code, message);
  EXPECT_EQ(static_cast<std::size_t>(length), std::char_traits<char>::length(text));
  return text;
}

TEST(Fatal, ReportText) {
  EXPECT_EQ(fatal_text(0xC0015, "String overflow"), "Fatal [c0015]: String overflow");
  EXPECT_EQ(fatal_text(0xC0025, "Invalid item size for podlist"),
            "Fatal [c0025]: Invalid item size for podlist");
  EXPECT_EQ(fatal_text(0x5, "x"), "Fatal [00005]: x");
  EXPECT_EQ(fatal_text(0xABCDEF12, ""), "Fatal [abcdef12]: ");
  EXPECT_EQ(fatal_text(0, nullptr), "Fatal [00000]: ");
}

// Each name of the table reaches its own row: codes shared by two messages keep both apart.
TEST(Fatal, TheTableGivesEachFatalErrorItsCodeAndMessage) {
  EXPECT_EQ(fatal_code(fatal::out_of_memory), fatal_out_of_memory);
  EXPECT_STREQ(fatal_message(fatal::out_of_memory), "Not enough memory");
  EXPECT_EQ(fatal_code(fatal::list_compare), fatal_code(fatal::list_dofree));
  EXPECT_STREQ(fatal_message(fatal::list_compare), "ptrlist::compare() not defined");
  EXPECT_EQ(fatal_code(fatal::unit_running), 0xC003Cu);
  EXPECT_STREQ(fatal_message(fatal::unit_running), "Unit already running");
}

TEST(Fatal, LongMessagesAreCutTo2047Characters) {
  std::string message(5000, 'm');
  std::string text = fatal_text(0xC0005, message.c_str());
  EXPECT_EQ(text.size(), 2047u);
  EXPECT_EQ(text.substr(0, 15), "Fatal [c0005]: ");
  EXPECT_EQ(text.back(), 'm');
}

TEST(Fatal, DefaultHandlerIsTheMessageReport) { EXPECT_EQ(fatal_handler, &show_fatal_message); }

using FatalDeathTest = testing::Test;

TEST(FatalDeathTest, HandlerGetsCodeAndMessageThenTheProcessEnds) {
  EXPECT_FATAL(fatal_error(0xC0025, "Invalid item size for podlist"), 0xC0025,
               "Fatal \\[c0025\\]: Invalid item size for podlist");
}

TEST(FatalDeathTest, WithoutHandlerNothingIsShown) {
  EXPECT_EXIT(
      {
        fatal_handler = nullptr;
        fatal_error(0xC003C, "Variant data corrupt");
      },
      testing::ExitedWithCode(test::visible_status(0xC003C)), "^$");
}

TEST(FatalDeathTest, DefaultReportGoesToStandardErrorWithItsCaption) {
  // On Windows the default report is a message box, which a test cannot read or dismiss.
  if (pt::exit_status_mask != 0xFF)
    GTEST_SKIP() << "message box platform";
  EXPECT_EXIT(fatal_error(0xC0025, "Invalid item size for podlist"),
              testing::ExitedWithCode(test::visible_status(0xC0025)),
              "Internal error: Fatal \\[c0025\\]: Invalid item size for podlist");
}

}  // namespace
}  // namespace pt
