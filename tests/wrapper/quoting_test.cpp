// Argument quoting: the table of known tokens, and the round trip through the C-runtime
// command-line parser for random lines.
#include "quoting.h"

#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <random>

namespace pt {
namespace {

using namespace std::string_literals;

struct token_row {
  const char* name;
  std::string line;
  std::string token;
};

// Escaped, as a line that ends in a backslash would otherwise end the test list's line in one.
void PrintTo(const token_row& row, std::ostream* out) { *out << testing::PrintToString(row.line); }

class ArgumentToken : public testing::TestWithParam<token_row> {};

TEST_P(ArgumentToken, MatchesTheTable) {
  EXPECT_EQ(make_argument_token(GetParam().line), GetParam().token);
  // escape_argument is the token without its quotes.
  const std::string& token = GetParam().token;
  if (GetParam().line.find('\0') == std::string::npos) {
    EXPECT_EQ(escape_argument(GetParam().line), token.substr(1, token.size() - 2));
  }
}

TEST_P(ArgumentToken, ReadsBackAsTheLine) {
  const std::string line = GetParam().line.substr(0, GetParam().line.find('\0'));
  const std::string command_line = "prog " + make_argument_token(GetParam().line);
  EXPECT_EQ(platform::command_line_split(command_line.c_str()),
            (std::vector<std::string>{"prog", line}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, ArgumentToken,
    testing::Values(token_row{"plain", "hello", R"("hello")"},
                    token_row{"space", "two words", R"("two words")"},
                    token_row{"quotes", R"(say "hi")", R"("say \"hi\"")"},
                    token_row{"inner_backslashes", R"(C:\dir\file)", R"("C:\dir\file")"},
                    token_row{"trailing_backslash", R"(C:\dir\)", R"("C:\dir\\")"},
                    token_row{"backslash_before_quote", R"(a\"b)", R"("a\\\"b")"},
                    token_row{"two_backslashes_before_quote", R"(a\\"b)", R"("a\\\\\"b")"},
                    token_row{"unc_path", R"(\\server\share)", R"("\\server\share")"},
                    token_row{"lone_quote", R"(")", R"("\"")"},
                    token_row{"lone_backslash", R"(\)", R"("\\")"},
                    token_row{"space_then_two_backslashes", R"(a b\\)", R"("a b\\\\")"},
                    // Already quoted text gets no special treatment.
                    token_row{"quoted_text", R"("x")", R"("\"x\"")"},
                    token_row{"three_backslashes", R"(\\\)", R"("\\\\\\")"},
                    token_row{"backslashes_and_final_quote", R"(\\\x\")", R"("\\\x\\\"")"},
                    token_row{"tab_and_cr", "\t\r", "\"\t\r\""},
                    token_row{"only_spaces", "   ", "\"   \""},
                    token_row{"high_bytes_and_backslash", "\x80\xff\x5c", "\"\x80\xff\x5c\x5c\""},
                    // A NUL would end the command line: the line is cut there, and the
                    // closing quote stays.
                    token_row{"nul_cuts_the_line", "ab\0c\\"s, R"("ab")"},
                    token_row{"nul_after_backslash", "a\\\0\""s, R"("a\\")"},
                    token_row{"nul_first", "\0x"s, R"("")"}),
    [](const testing::TestParamInfo<token_row>& info) { return std::string(info.param.name); });
// clang-format on

TEST(EscapeArgument, LongRunsOfBackslashes) {
  const std::string run(100000, '\\');
  EXPECT_EQ(escape_argument(run), run + run);
  EXPECT_EQ(escape_argument(run + "x"), run + "x");
  EXPECT_EQ(escape_argument(run + "\""), run + run + "\\\"");
}

// Lines of any bytes but NUL, LF and 0x1A (which never reach quoting), weighted towards the
// bytes the parser treats specially.
std::string random_line(std::mt19937& random) {
  static const char specials[] = {'\\', '"', ' ', '\t', '\r'};
  std::uniform_int_distribution<int> length(1, 24);
  std::uniform_int_distribution<int> pick(0, 9);
  std::uniform_int_distribution<int> byte(1, 255);
  std::string line;
  for (int n = length(random); n > 0; --n) {
    const int choice = pick(random);
    if (choice < 6) {
      line += specials[choice % sizeof specials];
      continue;
    }
    int b;
    do
      b = byte(random);
    while (b == '\n' || b == 0x1A);
    line += static_cast<char>(b);
  }
  return line;
}

TEST(EscapeArgument, EveryRandomLineReadsBackExactly) {
  std::mt19937 random(20240521);
  for (int i = 0; i < 4000; ++i) {
    const std::string line = random_line(random);
    const std::string command_line = "path \"" + escape_argument(line) + "\"";
    const auto split = platform::command_line_split(command_line.c_str());
    ASSERT_EQ(split, (std::vector<std::string>{"path", line})) << "command line: " << command_line;
  }
}

TEST(EscapeArgument, RandomTokensJoinedIntoOneCommandLineStaySeparate) {
  std::mt19937 random(7);
  for (int i = 0; i < 500; ++i) {
    std::vector<std::string> expected{"path"};
    std::string command_line = "path";
    for (int n = 0; n < 6; ++n) {
      expected.push_back(random_line(random));
      command_line += ' ' + make_argument_token(expected.back());
    }
    ASSERT_EQ(platform::command_line_split(command_line.c_str()), expected)
        << "command line: " << command_line;
  }
}

}  // namespace
}  // namespace pt
