// Argument files as Windows programs write text: with a byte-order mark, in UTF-8 or UTF-16.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pt::test {

enum class text_mark { utf8, utf16_le, utf16_be };

// The mark, then utf8 (valid UTF-8) in that encoding.
std::string marked_text(text_mark mark, std::string_view utf8);

// The mark, then each line and CR LF, as a Windows editor saves them.
std::string marked_lines(text_mark mark, const std::vector<std::string>& utf8_lines);

}  // namespace pt::test
