// Encoding UTF-8 test text as UTF-16, behind its byte-order mark.
#include "support/marked_text.h"

namespace pt::test {
namespace {

void put_unit(std::string& out, char32_t unit, bool big_endian) {
  const auto high = static_cast<char>(unit >> 8);
  const auto low = static_cast<char>(unit & 0xFF);
  out += big_endian ? high : low;
  out += big_endian ? low : high;
}

// The next character of valid UTF-8 text, which it takes off the front.
char32_t next_character(std::string_view& utf8) {
  const auto first = static_cast<unsigned char>(utf8[0]);
  const std::size_t length = first < 0x80 ? 1 : first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
  char32_t character = length == 1 ? first : first & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i)
    character = character << 6 | (static_cast<unsigned char>(utf8[i]) & 0x3F);
  utf8.remove_prefix(length);
  return character;
}

}  // namespace

std::string marked_text(text_mark mark, std::string_view utf8) {
  if (mark == text_mark::utf8)
    return "\xEF\xBB\xBF" + std::string(utf8);
  const bool big_endian = mark == text_mark::utf16_be;
  std::string out;
  put_unit(out, 0xFEFF, big_endian);
  while (!utf8.empty()) {
    const char32_t character = next_character(utf8);
    if (character < 0x10000) {
      put_unit(out, character, big_endian);
    } else {
      put_unit(out, 0xD800 + ((character - 0x10000) >> 10), big_endian);
      put_unit(out, 0xDC00 + ((character - 0x10000) & 0x3FF), big_endian);
    }
  }
  return out;
}

std::string marked_lines(text_mark mark, const std::vector<std::string>& utf8_lines) {
  std::string text;
  for (const std::string& line : utf8_lines)
    text += line + "\r\n";
  return marked_text(mark, text);
}

}  // namespace pt::test
