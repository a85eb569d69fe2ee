// A program's own command-line arguments as text that reaches every file. Windows gives main
// its argv in the ANSI code page, where a character the code page lacks has become '?' and a
// path holding one names no file; the program's wide command line still holds it. Backends:
// arguments.cpp.
#pragma once

#include "ortolib/config.h"

#include <string>
#include <vector>

namespace pt {

// The program's arguments, argv[0] included, for the argc and argv that main received.
// Windows: read from the wide command line (GetCommandLineW) and split by the same C-runtime
// rules that made argv (command_line_split, command_line.h), in UTF-8 (text_encoding::utf8,
// text_encoding.h); a surrogate without its partner, which no valid name holds, becomes
// U+FFFD. POSIX: argv as it is, bytes the platform layer takes as they are in any encoding.
std::vector<std::string> program_arguments(int argc, char** argv);

}  // namespace pt
