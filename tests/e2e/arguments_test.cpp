// Argument lines through cmdwrap to the child's argv, byte for byte: random bytes, the
// text-mode line rules, NUL bytes, wildcards, and an executable path with spaces.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cmdwrap_run.h"
#include "ortolib/platform/private/process.h"
#include "support/line_ends.h"
#include "support/scratch_file.h"

namespace pt::test {
namespace {

TEST(Arguments, EmptyLinesAreSkippedAndEveryOtherLineIsOneArgument) {
  auto result = run_child_through_wrapper("hex-args\none\n\ntwo words\n");
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, hex_args_result({"one", "two words"}));
}

TEST(Arguments, QuotesBackslashesAndBlanksArriveUnchanged) {
  std::vector<std::string> lines = {"say \"hi\"", "C:\\dir\\file",
                                    "C:\\dir\\",  "a\\\"b",
                                    "a\\\\\"b",   "\\\\server\\share",
                                    "\"",         "\\",
                                    "a b\\\\",    "\"x\"",
                                    "   ",        "\ttab\t",
                                    "\\\\\\",     "\"\"",
                                    "a\"\"b",     "-c",
                                    "%PATH%",     "&|<>^"};
  auto result = run_child_through_wrapper(hex_args_file(lines));
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, hex_args_result(lines));
}

// Random lines of every byte a line can hold (all but NUL, LF, CR and 0x1A), rich in the
// bytes the quoting cares about.
std::vector<std::string> random_lines(std::mt19937& random, int count) {
  static const std::string special = " \t\"\\\\\\\"'*?%\x80\xff\xa0";
  std::uniform_int_distribution<int> length(1, 40), pick(0, 3), byte(1, 255);
  std::uniform_int_distribution<std::size_t> special_byte(0, special.size() - 1);
  std::vector<std::string> lines;
  while (static_cast<int>(lines.size()) < count) {
    std::string line;
    for (int n = length(random); n > 0; --n) {
      char c = pick(random) == 0 ? static_cast<char>(byte(random)) : special[special_byte(random)];
      if (c != '\n' && c != '\r' && c != '\x1a')
        line += c;
    }
    if (!line.empty())
      lines.push_back(line);
  }
  return lines;
}

TEST(Arguments, RandomBytesRoundTrip) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  for (int round = 0; round < 5; ++round) {
    std::vector<std::string> lines = random_lines(random, 50);
    auto result = run_child_through_wrapper(hex_args_file(lines));
    EXPECT_EQ(result.run.status, 0u);
    ASSERT_EQ(result.file, hex_args_result(lines));
  }
}

TEST(Arguments, TextModeLineRules) {
  // CR LF ends a line, a lone CR stays in it, a CR before CR LF stays, 0x1A ends the data.
  auto result = run_child_through_wrapper(
      "hex-args\r\na\rb\r\n\r\n\r\nc\r\r\n  \r\nlast\x1a"
      "after\nmore\n");
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, hex_args_result({"a\rb", "c\r", "  ", "last"}));

  result = run_child_through_wrapper("hex-args\nno line end");
  EXPECT_EQ(result.file, hex_args_result({"no line end"}));
}

TEST(Arguments, ALineIsCutAtItsFirstNul) {
  auto result = run_child_through_wrapper(
      hex_args_file({std::string("ab\0cd\\", 6), std::string("\0x", 2), "after"}));
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, hex_args_result({"ab", "", "after"}));
}

TEST(Arguments, WildcardsAreNotExpanded) {
  // The child's current folder holds files, so an expansion would find matches.
  auto result = run_child_through_wrapper(hex_args_file({"*", "?", "*.*", "a?b*", "\"*\""}));
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, hex_args_result({"*", "?", "*.*", "a?b*", "\"*\""}));
}

TEST(Arguments, WildcardsInCmdwrapsOwnArgumentsAreNotExpanded) {
  // An expansion of the pattern would find the real argument file and run the child.
  scratch_file arguments("glob-args");
  arguments.write("exit=7\n");
  std::string pattern = arguments.path();
  pattern.back() = '?';
  wrapper_run run = run_cmdwrap({ORTO_TEST_CHILD, pattern});
  EXPECT_EQ(run.status, status_of(-1));
  EXPECT_EQ(arguments.read(), "exit=7\n");
}

TEST(Arguments, AnExecutablePathWithSpacesIsOneProgramName) {
  child_copy child("folder with  spaces", "test child ");
  // The grandchild is started from the child's argv[0], so it runs only if argv[0] is the
  // whole path; the arguments after it must not shift.
  auto result = run_child_through_wrapper("grandchild=0\n" + hex_args_file({"first", "x y"}), {},
                                          child.path());
  EXPECT_EQ(result.run.status, 0u);
  std::string lines = hex_args_result({"first", "x y"});
  EXPECT_TRUE(inserted_between_lines(result.file, lines, "late")) << result.file;
}

// In code page 932 (ctest's CodePage932.under_ja_JP entry runs the Windows build so) 95 5C is
// one character: its second byte must not be read as a backslash before the closing quote.
TEST(CodePage932, EveryLineArrivesAsOneArgumentByteForByte) {
  if (!platform::ansi_lead_bytes()[0x95])
    GTEST_SKIP() << "the ANSI code page is not 932 (on Windows: under wine, LC_ALL=ja_JP.UTF-8 "
                    "with that locale made by locale-gen; POSIX arguments are bytes)";
  const std::vector<std::string> lines = {"x\x95\x5c --injected \"", "x\x95\x5c", "\x95\x5c\"",
                                          "\x95\x5c\\", "after"};
  auto result = run_child_through_wrapper(hex_args_file(lines));
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, hex_args_result(lines));
}

}  // namespace
}  // namespace pt::test
