// Windows backend: a program's arguments from its wide command line, in UTF-8.
#include "ortolib/platform/program_arguments.h"

#include <windows.h>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/win32/text_conversion.h"

namespace pt {

std::vector<std::string> program_arguments(int /*argc*/, char** /*argv*/) {
  // UTF-8 has no lead bytes in the code page sense: a quote, a blank or a backslash is never
  // part of another character, so the splitter reads it byte by byte.
  const std::string line = platform::win32::utf8_text(GetCommandLineW());
  return command_line_split(line.c_str());
}

}  // namespace pt
