// The Windows command-line rules: the quoting that the Microsoft C-runtime parser reads back
// unchanged, and that parser itself, written out for the platforms that lack it.
#include "ortolib/platform/command_line.h"

namespace pt {
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

void split_arguments(const char* p, std::vector<std::string>& arguments) {
  for (;;) {
    while (is_blank(*p))
      ++p;
    if (*p == '\0')
      return;
    p = split_argument(p, arguments.emplace_back());
  }
}

}  // namespace

std::string escape_argument(std::string_view argument) {
  std::string escaped;
  escaped.reserve(argument.size() + argument.size() / 8 + 2);
  std::size_t i = 0;
  while (i < argument.size()) {
    const char c = argument[i];
    if (c == '\\') {
      // A run of backslashes is an escape to the parser only when a double quote follows it
      // (one of the argument, or the closing quote at the end); only then is each one doubled.
      // The run is handled whole so that a long run costs linear time.
      std::size_t run_end = argument.find_first_not_of('\\', i);
      if (run_end == std::string_view::npos)
        run_end = argument.size();
      const std::size_t run = run_end - i;
      const bool before_quote = run_end == argument.size() || argument[run_end] == '"';
      escaped.append(before_quote ? 2 * run : run, '\\');
      i = run_end;
      continue;
    }
    if (c == '"')
      escaped += '\\';
    escaped += c;
    ++i;
  }
  return escaped;
}

std::string quote_argument(std::string_view argument) {
  const std::size_t nul = argument.find('\0');
  if (nul != std::string_view::npos)
    argument = argument.substr(0, nul);
  std::string token = "\"";
  token += escape_argument(argument);
  token += '"';
  return token;
}

std::string quote_program_name(std::string_view name) {
  if (name.find_first_of(" \t\"") == std::string_view::npos)
    return std::string(name);
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::vector<std::string> command_line_split(const char* command_line) {
  std::vector<std::string> arguments;
  if (command_line == nullptr || *command_line == '\0')
    return arguments;
  split_arguments(split_program_name(command_line, arguments.emplace_back()), arguments);
  return arguments;
}

std::vector<std::string> command_line_split_arguments(const char* arguments) {
  std::vector<std::string> split;
  if (arguments != nullptr)
    split_arguments(arguments, split);
  return split;
}

}  // namespace pt
