// The Microsoft C-runtime command-line parser, written out for the platforms that lack it.
#include "ortolib/platform/command_line.h"

namespace pt::platform {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The program name: quotes toggle and vanish, backslashes are ordinary, a blank outside
// quotes ends it.
const char* split_program_name(const char* p, std::string& name) {
  bool in_quotes = false;
  for (; *p != '\0' && (in_quotes || !is_blank(*p)); ++p) {
    if (*p == '"')
      in_quotes = !in_quotes;
    else
      name += *p;
  }
  return p;
}

// One argument after the program name; returns where it ended.
const char* split_argument(const char* p, std::string& argument) {
  bool in_quotes = false;
  for (;;) {
    std::size_t backslashes = 0;
    while (*p == '\\') {
      ++p;
      ++backslashes;
    }
    bool copy_char = true;
    if (*p == '"') {
      if (backslashes % 2 == 0) {
        if (in_quotes && p[1] == '"')
          ++p;  // "" inside quotes: one literal quote, still quoted
        else {
          copy_char = false;
          in_quotes = !in_quotes;
        }
      }
      backslashes /= 2;
    }
    argument.append(backslashes, '\\');
    if (*p == '\0' || (!in_quotes && is_blank(*p)))
      return p;
    if (copy_char)
      argument += *p;
    ++p;
  }
}

}  // namespace

std::vector<std::string> command_line_split(const char* command_line) {
  std::vector<std::string> arguments;
  const char* p = command_line;
  if (p == nullptr || *p == '\0')
    return arguments;
  p = split_program_name(p, arguments.emplace_back());
  for (;;) {
    while (is_blank(*p))
      ++p;
    if (*p == '\0')
      return arguments;
    p = split_argument(p, arguments.emplace_back());
  }
}

}  // namespace pt::platform
