// Argument quoting against the C-runtime command-line parser: any line, placed on a command
// line as its token, must read back as exactly one argument equal to the line (cut at its first
// NUL, which a command line cannot carry), behind a plain or a quoted program path, alone or
// among others.
#include "fuzz/fuzz_input.h"
#include "ortolib/platform/command_line.h"

#include <string>
#include <string_view>
#include <vector>

namespace {

using pt::fuzz::check;

std::string cut_at_nul(std::string_view line) {
  return std::string(line.substr(0, line.find('\0')));
}

void check_round_trip(const std::string& program, std::string_view line) {
  const std::string command_line = pt::quote_program_name(program) + " " + pt::quote_argument(line);
  const std::vector<std::string> arguments = pt::command_line_split(command_line.c_str());
  check(arguments.size() == 2, "the token reads back as exactly one argument");
  check(arguments[0] == program, "the program path is unchanged");
  check(arguments[1] == cut_at_nul(line), "the argument is the line cut at its first NUL");
}

// The lines of one input (split at LF, as the argument file splits them) as neighbouring
// tokens: none may run into the next.
void check_several(const std::string& program, std::string_view input) {
  std::vector<std::string_view> lines;
  std::string command_line = pt::quote_program_name(program);
  for (std::size_t start = 0; start <= input.size();) {
    std::size_t end = input.find('\n', start);
    if (end == std::string_view::npos)
      end = input.size();
    lines.push_back(input.substr(start, end - start));
    command_line += ' ';
    command_line += pt::quote_argument(lines.back());
    start = end + 1;
  }
  const std::vector<std::string> arguments = pt::command_line_split(command_line.c_str());
  check(arguments.size() == lines.size() + 1, "every token is exactly one argument");
  for (std::size_t i = 0; i < lines.size(); ++i)
    check(arguments[i + 1] == cut_at_nul(lines[i]), "each argument is its own line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);

  // The token is the escaped line between quotes; with no NUL nothing is cut.
  if (line.find('\0') == std::string_view::npos)
    check(pt::quote_argument(line) == "\"" + pt::escape_argument(line) + "\"",
          "the token is the escaped line in quotes");

  check_round_trip(R"(C:\path\prog.exe)", line);
  check_round_trip(R"(C:\my dir\prog.exe)", line);
  check_several(R"(C:\path\prog.exe)", line);
  return 0;
}
