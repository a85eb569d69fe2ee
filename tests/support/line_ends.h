// The text-mode line ends the result file is written with, spelled out plainly as an oracle.
#pragma once

#include <string>
#include <string_view>

namespace pt::test {

// Every LF of text as CR LF; no other byte changes.
std::string with_crlf(std::string_view text);

// Whether text is lines with insert put in once, at the start of one of its lines or at its
// end: where the output of a grandchild may land among the lines its parent writes.
bool inserted_between_lines(std::string_view text, std::string_view lines, std::string_view insert);

}  // namespace pt::test
