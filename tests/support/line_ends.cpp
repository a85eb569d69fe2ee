// The text-mode line ends, byte by byte.
#include "support/line_ends.h"

namespace pt::test {

std::string with_crlf(std::string_view text) {
  std::string bytes;
  for (char c : text) {
    if (c == '\n')
      bytes += '\r';
    bytes += c;
  }
  return bytes;
}

bool inserted_between_lines(std::string_view text, std::string_view lines,
                            std::string_view insert) {
  if (text.size() != lines.size() + insert.size())
    return false;
  for (std::size_t at = 0;; ++at) {
    if (text.substr(0, at) == lines.substr(0, at) && text.substr(at, insert.size()) == insert &&
        text.substr(at + insert.size()) == lines.substr(at))
      return true;
    at = lines.find('\n', at);
    if (at == std::string_view::npos)
      return false;
  }
}

}  // namespace pt::test
