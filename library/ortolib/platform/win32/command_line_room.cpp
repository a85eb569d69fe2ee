// Windows backend: the room of a command line, counted as process_start builds the line.
#include "ortolib/platform/command_line_room.h"

#include <string>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/private/process.h"
#include "ortolib/platform/win32/command_line_limit.h"

namespace pt {

using platform::ansi_lead_bytes;
using platform::command_line_limit;

namespace {

// The blank before a token and its two quotes.
constexpr std::uint64_t token_frame = 3;

// The longest UTF-8 character per UTF-16 unit is three bytes: so many bytes are at least a
// third as many units.
constexpr std::uint64_t most_utf8_bytes_per_unit = 3;

// What text counts on the command line: ANSI bytes as they are (each becomes at most one
// UTF-16 unit), UTF-8 as the units it becomes.
std::uint64_t characters(std::string_view text, text_encoding encoding) {
  return encoding == text_encoding::utf8 ? utf16_length(text) : text.size();
}

// The characters an argument takes for the child's parser to read it back: UTF-8 has no lead
// bytes that could hide a backslash or a quote.
std::string token_of(std::string_view argument, text_encoding encoding) {
  return encoding == text_encoding::utf8 ? quote_argument(argument)
                                         : quote_argument(argument, ansi_lead_bytes());
}

}  // namespace

command_line_room::command_line_room(std::string_view application, text_encoding encoding)
    : command_line_room(application, command_line_limit - 1, encoding) {}

command_line_room::command_line_room(std::string_view application, std::uint64_t total_limit,
                                     text_encoding encoding)
    : used_(characters(quote_program_name(application), encoding)),
      limit_(total_limit),
      argument_limit_(total_limit) {  // an argument has no limit of its own
  fits_ = used_ <= limit_;
}

bool command_line_room::add_argument(std::string_view argument, text_encoding encoding) {
  if (fits_) {
    used_ += 1 + characters(token_of(argument, encoding), encoding);
    fits_ = used_ <= limit_;
  }
  return fits_;
}

bool command_line_room::could_take(std::uint64_t length, text_encoding encoding) const {
  const std::uint64_t least = encoding == text_encoding::utf8 ? length / most_utf8_bytes_per_unit
                                                              : length;
  return fits_ && least <= argument_limit_ && used_ + token_frame + least <= limit_;
}

}  // namespace pt
