// Windows backend: a command line read as a program that reads its ANSI command line reads it,
// against the UTF-16 line it was made from.
#include "ortolib/platform/ansi_command_line.h"

#include <algorithm>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/private/process.h"
#include "ortolib/platform/win32/text_conversion.h"

namespace pt {
namespace {

// The bytes that the C runtime's splitter reads as more than a character.
bool splits(char c) { return c == '"' || c == '\\' || c == ' ' || c == '\t'; }

// Whether the ANSI form of one character holds such a byte as a character of its own (not as
// the second byte of a double-byte character, which the splitter takes with its lead byte).
bool turns_into_a_splitting_byte(std::string_view ansi) {
  const lead_bytes& lead = platform::ansi_lead_bytes();
  for (std::size_t i = 0; i < ansi.size(); ++i) {
    if (lead[static_cast<unsigned char>(ansi[i])])
      ++i;
    else if (splits(ansi[i]))
      return true;
  }
  return false;
}

// The first character of a UTF-8 argument whose ANSI form splits, with that form.
std::optional<ansi_argument_change> splitting_character(std::string_view utf8) {
  std::wstring wide;
  if (!platform::win32::wide_text(utf8, text_encoding::utf8, wide))
    return std::nullopt;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] < 0x80)
      continue;  // ASCII is the same in both forms
    const bool pair = wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size();
    const std::wstring_view character(wide.data() + i, pair ? 2 : 1);
    std::string ansi = platform::win32::ansi_text(character);
    if (turns_into_a_splitting_byte(ansi)) {
      const char32_t code = pair ? 0x10000 + ((static_cast<char32_t>(wide[i]) - 0xD800) << 10) +
                                       (static_cast<char32_t>(wide[i + 1]) - 0xDC00)
                                 : static_cast<char32_t>(wide[i]);
      return ansi_argument_change{0, code, std::move(ansi)};
    }
    i += pair ? 1 : 0;
  }
  return std::nullopt;
}

}  // namespace

std::optional<ansi_argument_change> ansi_command_line_change(
    std::string_view application, text_encoding application_encoding,
    const std::vector<std::string>& arguments, text_encoding arguments_encoding) {
  if (is_batch_file(application))
    return std::nullopt;
  // The UTF-16 line as process_start makes it.
  static const lead_bytes utf8_lead;
  const lead_bytes& lead = arguments_encoding == text_encoding::ansi ? platform::ansi_lead_bytes()
                                                                     : utf8_lead;
  std::string tokens;
  for (const std::string& argument : arguments)
    tokens.append(" ").append(quote_argument(argument, lead));
  std::wstring line;
  std::wstring wide_tokens;
  if (!platform::win32::wide_text(quote_program_name(application), application_encoding, line) ||
      !platform::win32::wide_text(tokens, arguments_encoding, wide_tokens))
    return std::nullopt;
  line += wide_tokens;
  if (std::all_of(line.begin(), line.end(), [](wchar_t c) { return c < 0x80; }))
    return std::nullopt;

  const std::vector<std::string> wide_view =
      command_line_split(platform::win32::utf8_text(line).c_str());  // UTF-8 has no lead bytes
  const std::vector<std::string> ansi_view =
      command_line_split(platform::win32::ansi_text(line).c_str(), platform::ansi_lead_bytes());
  std::size_t first = 0;
  while (first < wide_view.size() && first < ansi_view.size() &&
         ansi_text(wide_view[first], text_encoding::utf8) == ansi_view[first])
    ++first;
  if (first == wide_view.size() && first == ansi_view.size())
    return std::nullopt;
  // Only such a character makes the two differ (everything else keeps its place and its kind):
  // it stands in the first argument that reads otherwise, or in one before it.
  for (std::size_t argument = std::min(first + 1, wide_view.size()); argument-- > 0;) {
    if (auto change = splitting_character(wide_view[argument])) {
      change->argument = argument;
      return change;
    }
  }
  // None found would mean a kind of byte these rules missed: the change stands all the same.
  return ansi_argument_change{first, 0, {}};
}

}  // namespace pt
