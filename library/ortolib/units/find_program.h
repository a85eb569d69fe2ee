// Finding the program that a command name stands for, to run it with the process unit, whose
// path is used exactly as it stands.
#pragma once

#include "ortolib/core/string.h"
#include "ortolib/platform/text_encoding.h"

namespace pt {

// The path of the program that name stands for, in name's encoding, or an empty string when
// there is none. A name with a directory part stands for that path alone; any other is looked
// for in the directories of the process's PATH variable, in order, and never in the current
// directory unless PATH names it.
// POSIX: the first regular file there that the process may execute, as the shell finds a
// command (an empty entry of PATH is the current directory; without PATH the system's default
// path is searched).
// Windows: the first file that is no directory, in any case. A name that does not end in one
// of the extensions of PATHEXT (".COM;.EXE;.BAT;.CMD" when it is unset) is tried with each of
// them in turn, so "cmd" finds cmd.exe; after PATH come the system directory and the Windows
// directory, which CreateProcess searches too. Unlike CreateProcess it passes over the current
// directory and the program's own: a program dropped there must not stand in for a command.
// For an ANSI name a path the ANSI code page cannot spell is passed over.
string find_program(const string& name, text_encoding encoding = text_encoding::ansi);

}  // namespace pt
