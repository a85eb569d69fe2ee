// The Windows command-line rules: the splitter row by row, the quoting of arguments and of
// program names row by row, and the round trip of both through the splitter, for table rows
// and random bytes.
#include "ortolib/platform/command_line.h"

#include <gtest/gtest.h>

#include <random>

namespace pt {
namespace {

using namespace std::string_literals;
using args = std::vector<std::string>;

struct split_row {
  const char* name;
  const char* line;
  args expected;
};

// Escaped: a row printed as it stands that ends in a backslash would run into the next one in
// the list of tests that ctest reads. The same holds for token rows.
void PrintTo(const split_row& row, std::ostream* out) { *out << testing::PrintToString(row.line); }

class CommandLineSplit : public testing::TestWithParam<split_row> {};

TEST_P(CommandLineSplit, ReadsTheArgumentsBack) {
  EXPECT_EQ(command_line_split(GetParam().line), GetParam().expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, CommandLineSplit,
    testing::Values(
        split_row{"empty", "", {}},
        split_row{"program_only", "prog", {"prog"}},
        split_row{"blanks_between", "prog a  b\tc", {"prog", "a", "b", "c"}},
        split_row{"quoted_blank", "prog \"a b\"", {"prog", "a b"}},
        split_row{"quotes_inside", "prog \"a\"b\" c\"", {"prog", "ab c"}},
        split_row{"escaped_quote", R"(prog a\\\"b)", {"prog", R"(a\"b)"}},
        split_row{"even_backslashes_then_quote", R"(prog a\\"b c")", {"prog", R"(a\b c)"}},
        split_row{"backslashes_without_quote", R"(prog a\b\ c\\)", {"prog", R"(a\b\)", R"(c\\)"}},
        split_row{"doubled_quote_inside_quotes", R"(prog "a""b")", {"prog", "a\"b"}},
        split_row{"empty_argument", R"(prog "" x)", {"prog", "", "x"}},
        split_row{"trailing_blanks", "prog   ", {"prog"}},
        split_row{"unclosed_quote", R"(prog "unclosed arg)", {"prog", "unclosed arg"}},
        // The program name knows no escapes: its quotes toggle, its backslashes stay.
        split_row{"quoted_program_name", R"("C:\my dir\p.exe" x)", {R"(C:\my dir\p.exe)", "x"}},
        split_row{"program_name_quotes_toggle", R"(C:\dir\"a b"\p x)", {R"(C:\dir\a b\p)", "x"}},
        split_row{"program_name_trailing_backslash", R"(C:\dir\ x)", {R"(C:\dir\)", "x"}}),
    [](const testing::TestParamInfo<split_row>& info) { return std::string(info.param.name); });
// clang-format on

struct token_row {
  const char* name;
  std::string line;
  std::string token;
};

void PrintTo(const token_row& row, std::ostream* out) { *out << testing::PrintToString(row.line); }

std::string token_row_name(const testing::TestParamInfo<token_row>& info) {
  return info.param.name;
}

class QuoteArgument : public testing::TestWithParam<token_row> {};

TEST_P(QuoteArgument, MatchesTheTable) {
  EXPECT_EQ(quote_argument(GetParam().line), GetParam().token);
  // escape_argument is the token without its quotes.
  const std::string& token = GetParam().token;
  if (GetParam().line.find('\0') == std::string::npos) {
    EXPECT_EQ(escape_argument(GetParam().line), token.substr(1, token.size() - 2));
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, QuoteArgument,
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
    token_row_name);
// clang-format on

TEST(EscapeArgument, LongRunsOfBackslashes) {
  const std::string run(100000, '\\');
  EXPECT_EQ(escape_argument(run), run + run);
  EXPECT_EQ(escape_argument(run + "x"), run + "x");
  EXPECT_EQ(escape_argument(run + "\""), run + run + "\\\"");
}

// The program name is a token of its own rule: the line holds the name.
class QuoteProgramName : public testing::TestWithParam<token_row> {};

TEST_P(QuoteProgramName, MatchesTheTable) {
  EXPECT_EQ(quote_program_name(GetParam().line), GetParam().token);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, QuoteProgramName,
    testing::Values(token_row{"plain_path", R"(C:\dir\p.exe)", R"(C:\dir\p.exe)"},
                    token_row{"posix_path", "/usr/bin/prog", "/usr/bin/prog"},
                    token_row{"blank_in_path", R"(C:\my dir\p.exe)", R"("C:\my dir\p.exe")"},
                    token_row{"tab_in_path", "/a\tb/c", "\"/a\tb/c\""},
                    token_row{"trailing_backslash", R"(C:\dir\)", R"(C:\dir\)"},
                    token_row{"blank_and_trailing_backslash", R"(C:\my dir\)", R"("C:\my dir\")"},
                    // A quote, which no Windows path holds, is doubled and then reads as nothing.
                    token_row{"quote_in_name", R"(/odd"name)", R"("/odd""name")"},
                    token_row{"empty", "", ""}),
    token_row_name);
// clang-format on

// Lines of any bytes but NUL, LF and 0x1A (which never reach quoting from the argument file),
// weighted towards the bytes the parser treats specially; program names are made alike.
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

// Quote, then split, gives the bytes back: the program name (less any double quote, which it
// cannot carry) and every argument (cut at a NUL, which a command line cannot carry), for
// table rows and random bytes, however many arguments stand side by side on one line.
TEST(CommandLine, QuotedThenSplitGivesTheBytesBack) {
  std::vector<std::string> names{"prog", R"(C:\my dir\p.exe)", R"(C:\dir\)", "a\tb"};
  std::vector<std::string> lines;
  for (const char* row : {"hello", "two words", R"(say "hi")", R"(C:\dir\)", R"(a\"b)", R"(a\\"b)",
                          R"(\\server\share)", "\"", "\\", R"(a b\\)", "\t\r", "   "})
    lines.emplace_back(row);
  std::mt19937 random(20240521);
  for (int i = 0; i < 2000; ++i) {
    names.push_back(random_line(random));
    lines.push_back(random_line(random));
    if (i % 3 == 0)
      lines.back().insert(lines.back().size() / 2, 1, '\0');
  }
  std::uniform_int_distribution<std::size_t> pick_line(0, lines.size() - 1);
  std::uniform_int_distribution<int> count(0, 6);
  for (const std::string& name : names) {
    std::string command_line = quote_program_name(name), arguments;
    std::vector<std::string> expected{name};
    std::erase(expected.front(), '"');
    for (int n = count(random); n > 0; --n) {
      const std::string& line = lines[pick_line(random)];
      arguments += ' ' + quote_argument(line);
      expected.push_back(line.substr(0, line.find('\0')));
    }
    command_line += arguments;
    ASSERT_EQ(command_line_split(command_line.c_str()), expected) << command_line;
    expected.erase(expected.begin());
    ASSERT_EQ(command_line_split_arguments(arguments.c_str()), expected) << arguments;
  }
}

}  // namespace
}  // namespace pt
