// The Windows command-line rules: the splitter row by row, the quoting of arguments and of
// program names row by row, and the round trip of both through the splitter, for table rows
// and random bytes, also by characters of a double-byte code page; the quoting for cmd.exe
// against a model of what cmd.exe does to a line.
#include "ortolib/platform/command_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string_view>

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

// The lead bytes of code page 932 (Shift JIS).
lead_bytes lead_932() {
  lead_bytes lead;
  for (int byte = 0x81; byte <= 0xFC; ++byte)
    lead[byte] = byte <= 0x9F || byte >= 0xE0;
  return lead;
}

TEST(QuoteArgument, ByCharactersOfADoubleByteCodePage) {
  const lead_bytes lead = lead_932();
  // 95 5C is one character: its second byte doubles neither at the end nor before a quote.
  EXPECT_EQ(quote_argument("x\x95\x5c", lead), "\"x\x95\x5c\"");
  EXPECT_EQ(quote_argument("\x95\x5c\" --injected \"", lead), "\"\x95\x5c\\\" --injected \\\"\"");
  // A lead byte without a second byte of 0x40 or above forms no character: the system could
  // take the quote after it into it.
  EXPECT_EQ(quote_argument("\x95\"", lead), "\"?\\\"\"");
  EXPECT_EQ(quote_argument("\\\x95", lead), "\"\\?\"");
  EXPECT_EQ(quote_argument("x\x95\x5c"), "\"x\x95\x5c\x5c\"");  // without: bytes
}

// What cmd.exe's percent pass makes of a line, as far as the batch quoting relies on it: an
// empty name (%%) keeps its first % and reads on from the second, %cd:~,% is nothing, and
// every other %name% is taken for a variable, as if every name were one.
std::string cmd_percent_pass(std::string_view line) {
  std::string out;
  for (std::size_t i = 0; i < line.size();) {
    const std::size_t close = line[i] == '%' ? line.find('%', i + 1) : std::string_view::npos;
    if (close == std::string_view::npos) {
      out += line[i++];
      continue;
    }
    const std::string_view name = line.substr(i + 1, close - i - 1);
    if (name.empty())
      out += '%';
    else if (name != "cd:~,")
      out += "<variable " + std::string(name) + ">";
    i = name.empty() ? close : close + 1;
  }
  return out;
}

// True when every character that acts outside double quotes stands inside them, every "
// toggling, and the line ends outside them.
bool specials_quoted(std::string_view line, const lead_bytes& lead) {
  bool in_quotes = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (lead[static_cast<unsigned char>(line[i])])
      ++i;
    else if (line[i] == '"')
      in_quotes = !in_quotes;
    else if (!in_quotes && std::string_view("&|<>^()").find(line[i]) != std::string_view::npos)
      return false;
  }
  return !in_quotes;
}

TEST(QuoteBatchArgument, MatchesTheTable) {
  EXPECT_EQ(quote_batch_argument("two words"), "\"two words\"");
  EXPECT_EQ(quote_batch_argument(R"(say "hi")"), R"("say ""hi""")");
  EXPECT_EQ(quote_batch_argument(R"(x" & echo pwned & rem ")"), R"("x"" & echo pwned & rem """)");
  EXPECT_EQ(quote_batch_argument(R"(a\"b)"), R"("a\\""b")");
  EXPECT_EQ(quote_batch_argument("%OS%"), "\"%%cd:~,%OS%%cd:~,%\"");
  EXPECT_EQ(quote_batch_argument("a\rb"), std::nullopt);  // cmd.exe drops CR
  EXPECT_EQ(quote_batch_argument("a\nb"), std::nullopt);  // and ends the line at LF
  EXPECT_EQ(quote_batch_argument("\x95\x5c\"", lead_932()), "\"\x95\x5c\"\"\"");
  // Without " and %, the token of the C-runtime rules.
  for (const char* line : {"hello world", R"(C:\dir\)", R"(\\server\a b\\)", "a&b|c<d>e^f(g)!"})
    EXPECT_EQ(quote_batch_argument(line), quote_argument(line)) << line;

  EXPECT_EQ(quote_batch_program_name(R"(C:\dir\t.bat)"), R"(C:\dir\t.bat)");
  EXPECT_EQ(quote_batch_program_name(R"(C:\a&b\%OS%.bat)"), R"("C:\a&b\%%cd:~,%OS%%cd:~,%.bat")");
  EXPECT_EQ(quote_batch_program_name(R"(C:\a"b\t.bat)"), std::nullopt);
}

// Random lines rich in what cmd.exe acts on, as bytes and as characters of code page 932: no
// special character of a batch token ever stands outside quotes, no variable is ever expanded,
// and a program given %* reads the line back, as it reads the line's C-runtime token.
TEST(QuoteBatchArgument, NothingRunsAndTheLineReadsBack) {
  static const std::string alphabet = "\"\\%&|<>^() \tab!=;,\x95\x5c";
  std::mt19937 random(8191);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(1, 20);
  for (const lead_bytes& lead : {lead_bytes{}, lead_932()}) {
    for (int round = 0; round < 3000; ++round) {
      std::string line;
      for (int n = length(random); n > 0; --n)
        line += alphabet[pick(random)];
      for (std::size_t i = 0; i < line.size(); ++i) {
        if (lead[static_cast<unsigned char>(line[i])])  // a character, not a lone lead byte
          line.insert(++i, 1, '\x5c');
      }
      const std::optional<std::string> token = quote_batch_argument(line, lead);
      ASSERT_TRUE(token.has_value()) << line;
      ASSERT_TRUE(specials_quoted(*token, lead)) << *token;
      const std::string seen = cmd_percent_pass(*token);
      ASSERT_EQ(command_line_split_arguments(seen.c_str(), lead), args{line}) << *token;
      const std::string plain = quote_argument(line, lead) + ' ' + quote_argument(line, lead);
      ASSERT_EQ(command_line_split_arguments(plain.c_str(), lead), (args{line, line})) << plain;
    }
  }
}

TEST(BatchCommandLine, RequotesTheArgumentsAndRefusesWhatCannotPass) {
  const lead_bytes none;
  std::string line;
  std::string today = " ";
  today.append(quote_argument("hello world")).append(" ").append(quote_argument("C:\\d\\"));
  EXPECT_EQ(batch_command_line("t.bat", today.c_str(), none, line), batch_refusal::none);
  EXPECT_EQ(line, "t.bat" + today);  // innocent lines: the line of today
  // Tokens are read by the C-runtime rules, then quoted for cmd.exe.
  const std::string tokens = R"( "x\" & calc" plain 100%)";
  EXPECT_EQ(batch_command_line("C:\\my dir\\t.cmd", tokens.c_str(), none, line),
            batch_refusal::none);
  EXPECT_EQ(line, R"("C:\my dir\t.cmd" "x"" & calc" "plain" "100%%cd:~,%")");

  EXPECT_EQ(batch_command_line("t.bat", " \"a\rb\"", none, line), batch_refusal::unsafe_text);
  EXPECT_EQ(line, "");
  // 8191 characters with the two quotes around the line: t.bat, a blank, the quoted argument;
  // a character of two bytes counts once.
  std::string longest(8191 - 2 - 8, 'a');
  EXPECT_EQ(batch_command_line("t.bat", longest.c_str(), none, line), batch_refusal::none);
  EXPECT_EQ(batch_command_line("t.bat", (longest + "a").c_str(), none, line),
            batch_refusal::too_long);
  longest.replace(0, 1, "\x95\x5c");
  EXPECT_EQ(batch_command_line("t.bat", longest.c_str(), lead_932(), line), batch_refusal::none);
}

}  // namespace
}  // namespace pt
