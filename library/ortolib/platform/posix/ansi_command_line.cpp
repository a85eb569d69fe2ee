// POSIX backend: a child gets the bytes of its arguments; there is no second view of them.
#include "ortolib/platform/ansi_command_line.h"

namespace pt {

std::optional<ansi_argument_change> ansi_command_line_change(
    std::string_view /*application*/, text_encoding /*application_encoding*/,
    const std::vector<std::string>& /*arguments*/, text_encoding /*arguments_encoding*/) {
  return std::nullopt;
}

}  // namespace pt
