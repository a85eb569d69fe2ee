// What a Windows program that reads its command line in the ANSI code page is given. A child's
// command line is UTF-16; a program that reads the ANSI one (every C main, GetCommandLineA)
// gets the system's conversion, which writes a character the code page lacks as a look-alike
// where it knows one (its best fit), and its C runtime then splits that text. A look-alike of a
// quote, a backslash or a blank can so end an argument elsewhere than the UTF-16 line does: the
// program would get other arguments than it was given. Bodies in the backends.
#pragma once

#include "ortolib/config.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ortolib/platform/text_encoding.h"

namespace pt {

// A character that moves an argument boundary in the ANSI view of a command line.
struct ansi_argument_change {
  // The argument that holds it: 0 for the program name, n for the n-th argument.
  std::size_t argument = 0;
  char32_t character = 0;  // the character, as a code point
  std::string becomes;     // what the code page makes of it: a quote, a backslash or a blank
};

// The command line that a child of application gets with these arguments (each a token of
// quote_argument, ANSI text by the characters of the code page, as uexec::add_argument quotes
// it), read twice by the C-runtime rules (command_line_split): as its UTF-16 line holds it, and
// as the system converts that line to the ANSI code page of this process (best fit, the
// conversion WideCharToMultiByte makes without WC_NO_BEST_FIT_CHARS), by characters of that
// code page. Nothing when every argument of the ANSI view is its UTF-16 argument converted
// alone: a character may lose detail there (U+65E5 becomes ?, U+00E9 e where the code page
// lacks it), but no argument begins, ends or reads otherwise. Else the first character, in the
// first argument that reads otherwise or one before it, that turns into a quote, a backslash or
// a blank:
//
//   argument (code page 1252)      ANSI view              result
//   caf\u00E9 \u65E5               caf\xE9 ?              nothing: detail only
//   a\uFF3Cb                       a\b                    nothing: a backslash in the middle
//   a\uFF02 \uFF02b                "a" "b": two           U+FF02 becomes "
//   dir\uFF3C                      "dir\" escapes the     U+FF3C becomes \ (and U+00A5 under
//                                  closing quote          code page 932)
//
// A batch file (is_batch_file) gets nothing: cmd.exe reads the UTF-16 line. POSIX: always
// nothing, a child gets the bytes of its arguments. Texts that do not convert (invalid UTF-8)
// get nothing: the start refuses them itself.
std::optional<ansi_argument_change> ansi_command_line_change(
    std::string_view application, text_encoding application_encoding,
    const std::vector<std::string>& arguments, text_encoding arguments_encoding);

}  // namespace pt
