// The ANSI view of a command line: where a look-alike of a quote moves an argument boundary, in
// the program name as in an argument; never for a batch file or for text already ANSI.
#include "ortolib/platform/ansi_command_line.h"

#include <gtest/gtest.h>

#include "support/on_windows.h"

namespace pt::test {
namespace {

TEST(AnsiCommandLine, NamesTheArgumentAndTheCharacterThatMovesABoundary) {
  constexpr auto utf8 = text_encoding::utf8;
  const std::string quote_look_alike = "\uFF02";
  const std::vector<std::string> split_in_two = {"ok", "a" + quote_look_alike + " b"};
  if (on_windows() && ansi_text(quote_look_alike, utf8) != "\"")
    GTEST_SKIP() << "the ANSI code page has a character of its own for U+FF02";
  const auto in_arguments = ansi_command_line_change("p.exe", utf8, split_in_two, utf8);
  const auto in_name =
      ansi_command_line_change("C:\\a" + quote_look_alike + " b\\p.exe", utf8, {"ok"}, utf8);
  if (!on_windows()) {  // a child gets the bytes
    EXPECT_FALSE(in_arguments || in_name);
    return;
  }
  ASSERT_TRUE(in_arguments && in_name);
  EXPECT_EQ(in_arguments->argument, 2u);
  EXPECT_EQ(in_arguments->character, U'\uFF02');
  EXPECT_EQ(in_arguments->becomes, "\"");
  EXPECT_EQ(in_name->argument, 0u);
  // cmd.exe reads the wide line; ANSI text is what the view is made of.
  EXPECT_FALSE(ansi_command_line_change("run.CMD. ", utf8, split_in_two, utf8));
  EXPECT_FALSE(ansi_command_line_change("p.exe", utf8, {"a\" b\\"}, text_encoding::ansi));
}

}  // namespace
}  // namespace pt::test
