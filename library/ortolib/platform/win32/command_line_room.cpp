// Windows backend: the room of a command line, counted as process_start builds the line.
#include "ortolib/platform/command_line_room.h"

#include <cstring>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/private/process.h"
#include "ortolib/platform/win32/command_line_limit.h"

namespace pt::platform {

namespace {

// The blank before a token and its two quotes.
constexpr std::uint64_t token_frame = 3;

}  // namespace

command_line_room::command_line_room(std::string_view application)
    : command_line_room(application, command_line_limit - 1) {}

command_line_room::command_line_room(std::string_view application, std::uint64_t total_limit)
    : used_(quote_program_name(application).size()),
      limit_(total_limit),
      argument_limit_(total_limit) {  // an argument has no limit of its own
  fits_ = used_ <= limit_;
}

bool command_line_room::add_argument(std::string_view argument) {
  if (fits_) {
    used_ += 1 + quote_argument(argument, ansi_lead_bytes()).size();
    fits_ = used_ <= limit_;
  }
  return fits_;
}

bool command_line_room::could_take(std::uint64_t length) const {
  return fits_ && length <= argument_limit_ && used_ + token_frame + length <= limit_;
}

}  // namespace pt::platform
