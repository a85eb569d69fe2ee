// The C-runtime command-line splitter, row by row.
#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace pt::platform {
namespace {

using args = std::vector<std::string>;

struct split_row {
  const char* name;
  const char* line;
  args expected;
};

// Escaped, as a line that ends in a backslash would otherwise end the test list's line in one.
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

}  // namespace
}  // namespace pt::platform
