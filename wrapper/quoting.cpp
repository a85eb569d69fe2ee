// Escaping of argument lines for the Windows C-runtime command-line rules.
#include "quoting.h"

namespace cmdwrap {

std::string escape_argument(std::string_view line) {
  std::string escaped;
  escaped.reserve(line.size() + line.size() / 8 + 2);
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == '\\') {
      // A run of backslashes is an escape to the parser only when a double quote follows it
      // (one of the line, or the closing quote at the end); only then is each one doubled.
      // The run is handled whole so that a long run costs linear time.
      std::size_t run_end = line.find_first_not_of('\\', i);
      if (run_end == std::string_view::npos)
        run_end = line.size();
      const std::size_t run = run_end - i;
      const bool before_quote = run_end == line.size() || line[run_end] == '"';
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

std::string make_argument_token(std::string_view line) {
  const std::size_t nul = line.find('\0');
  if (nul != std::string_view::npos)
    line = line.substr(0, nul);
  std::string token = "\"";
  token += escape_argument(line);
  token += '"';
  return token;
}

}  // namespace cmdwrap
