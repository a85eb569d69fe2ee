// How the texts a program hands the platform layer (paths, command-line arguments) are
// encoded. Windows reads them one way or the other; POSIX takes every text as the bytes it is.
// Bodies: text_encoding.cpp, and ansi_text.cpp in the backends.
#pragma once

#include "ortolib/config.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace pt {

enum class text_encoding {
  // Bytes of the ANSI code page, as the Windows calls that take char texts read them: what a
  // program's argv and its C-runtime file names hold there. Plain bytes on POSIX.
  ansi,
  // UTF-8, converted to UTF-16 for the wide Windows calls, so that a character outside the
  // ANSI code page reaches the system too. Plain bytes on POSIX, as any text there.
  utf8,
};

// The UTF-16 code units that valid UTF-8 text becomes: one for each character, two for a
// character beyond U+FFFF. What the system counts of a text once it is wide.
std::size_t utf16_length(std::string_view utf8);

// The text in the ANSI code page, for a message that names it as a program's argv would: on
// Windows UTF-8 is converted as the system converts a program's arguments (a character the
// code page lacks becomes its nearest match or '?'); ANSI text, and any text on POSIX, is
// returned as it is.
std::string ansi_text(std::string_view text, text_encoding encoding);

}  // namespace pt
