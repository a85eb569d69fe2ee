// How many arguments a command line of this platform holds, counted as the start of a child
// counts them, so that a program that collects arguments (from a file, say) can stop as soon as
// they can no longer be started, instead of collecting without end.
#pragma once

#include "ortolib/config.h"

#include <cstdint>
#include <string_view>

#include "ortolib/platform/text_encoding.h"

namespace pt {

// Windows: the whole command line, the program name as quote_program_name gives it, then for
// each argument a blank and its token (quote_argument), fits in 32766 characters (32767 with
// the NUL). A UTF-8 text is counted as the UTF-16 units it becomes on the wide command line;
// an ANSI text in bytes, each of which becomes at most one unit. Linux, as the kernel counts
// an exec, in bytes whatever the encoding: each argument with its NUL fits in 32 pages
// (128 KiB), and the program's path twice, the arguments and the environment (each with its
// NUL) and a pointer for each of them fit in a quarter of the stack limit, at least 128 KiB
// and at most 6 MiB. An argument is counted as the child would receive it: up to its first
// NUL, which a command line cannot carry.
class command_line_room {
 public:
  // The room for a child of application (the path the start is given, in its encoding), with
  // no arguments yet.
  explicit command_line_room(std::string_view application,
                             text_encoding encoding = text_encoding::ansi);
  // The same count against another total: for a caller that wants less room than the
  // platform's, or a test that wants more. Linux's limit on one argument stays.
  command_line_room(std::string_view application, std::uint64_t total_limit,
                    text_encoding encoding = text_encoding::ansi);

  // Counts one more argument, a text of that encoding. False once the arguments counted so
  // far no longer fit, and from then on.
  bool add_argument(std::string_view argument, text_encoding encoding = text_encoding::ansi);

  // Whether one more argument of length bytes in that encoding, none of them NUL, could still
  // fit: false once even its shortest form would not. For a caller that reads an argument
  // piece by piece.
  bool could_take(std::uint64_t length, text_encoding encoding = text_encoding::ansi) const;

  bool fits() const { return fits_; }

 private:
  std::uint64_t used_ = 0;
  std::uint64_t limit_ = 0;
  std::uint64_t argument_limit_ = 0;  // one argument's own limit
  bool fits_ = true;
};

}  // namespace pt

// The name it had first, for the callers that use it.
namespace pt::platform {
using pt::command_line_room;
}  // namespace pt::platform
