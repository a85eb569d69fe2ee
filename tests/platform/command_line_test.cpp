// The C-runtime command-line splitter, row by row.
#include "ortolib/platform/command_line.h"

#include <gtest/gtest.h>

namespace pt::platform {
namespace {

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

}  // namespace
}  // namespace pt::platform
