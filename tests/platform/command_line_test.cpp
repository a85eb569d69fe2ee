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
  const char* line;
  args expected;
};

void PrintTo(const split_row& row, std::ostream* out) { *out << row.line; }

class CommandLineSplit : public testing::TestWithParam<split_row> {};

TEST_P(CommandLineSplit, ReadsTheArgumentsBack) {
  EXPECT_EQ(command_line_split(GetParam().line), GetParam().expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, CommandLineSplit,
    testing::Values(
        split_row{"", {}},
        split_row{"prog", {"prog"}},
        split_row{"prog a  b\tc", {"prog", "a", "b", "c"}},
        split_row{"prog \"a b\"", {"prog", "a b"}},
        split_row{"prog \"a\"b\" c\"", {"prog", "ab c"}},
        split_row{R"(prog a\\\"b)", {"prog", R"(a\"b)"}},
        split_row{R"(prog a\\"b c")", {"prog", R"(a\b c)"}},
        split_row{R"(prog a\b\ c\\)", {"prog", R"(a\b\)", R"(c\\)"}},
        split_row{R"(prog "a""b")", {"prog", "a\"b"}},
        split_row{R"(prog "" x)", {"prog", "", "x"}},
        split_row{"prog   ", {"prog"}},
        split_row{R"(prog "unclosed arg)", {"prog", "unclosed arg"}},
        // The program name knows no escapes: its quotes toggle, its backslashes stay.
        split_row{R"("C:\my dir\p.exe" x)", {R"(C:\my dir\p.exe)", "x"}},
        split_row{R"(C:\dir\"a b"\p x)", {R"(C:\dir\a b\p)", "x"}},
        split_row{R"(C:\dir\ x)", {R"(C:\dir\)", "x"}}));
// clang-format on

struct token_row {
  std::string line;
  std::string token;
};

void PrintTo(const token_row& row, std::ostream* out) { *out << row.line; }

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
    testing::Values(token_row{"hello", R"("hello")"},
                    token_row{"two words", R"("two words")"},
                    token_row{R"(say "hi")", R"("say \"hi\"")"},
                    token_row{R"(C:\dir\file)", R"("C:\dir\file")"},
                    token_row{R"(C:\dir\)", R"("C:\dir\\")"},
                    token_row{R"(a\"b)", R"("a\\\"b")"},
                    token_row{R"(a\\"b)", R"("a\\\\\"b")"},
                    token_row{R"(\\server\share)", R"("\\server\share")"},
                    token_row{R"(")", R"("\"")"},
                    token_row{R"(\)", R"("\\")"},
                    token_row{R"(a b\\)", R"("a b\\\\")"},
                    // Already quoted text gets no special treatment.
                    token_row{R"("x")", R"("\"x\"")"},
                    token_row{R"(\\\)", R"("\\\\\\")"},
                    token_row{R"(\\\x\")", R"("\\\x\\\"")"},
                    token_row{"\t\r", "\"\t\r\""},
                    token_row{"   ", "\"   \""},
                    token_row{"\x80\xff\x5c", "\"\x80\xff\x5c\x5c\""},
                    // A NUL would end the command line: the line is cut there, and the
                    // closing quote stays.
                    token_row{"ab\0c\\"s, R"("ab")"},
                    token_row{"a\\\0\""s, R"("a\\")"},
                    token_row{"\0x"s, R"("")"}));
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
    testing::Values(token_row{R"(C:\dir\p.exe)", R"(C:\dir\p.exe)"},
                    token_row{"/usr/bin/prog", "/usr/bin/prog"},
                    token_row{R"(C:\my dir\p.exe)", R"("C:\my dir\p.exe")"},
                    token_row{"/a\tb/c", "\"/a\tb/c\""},
                    token_row{R"(C:\dir\)", R"(C:\dir\)"},
                    token_row{R"(C:\my dir\)", R"("C:\my dir\")"},
                    // A quote, which no Windows path holds, is doubled and then reads as nothing.
                    token_row{R"(/odd"name)", R"("/odd""name")"},
                    token_row{"", ""}));
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
