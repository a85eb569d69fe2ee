// Windows backend, private: texts between the program's encodings and the UTF-16 of the wide
// system calls. Only the files of this backend include it.
#pragma once

#include <string>
#include <string_view>

#include "ortolib/platform/text_encoding.h"

namespace pt::platform::win32 {

// The text in UTF-16. ANSI text is converted as the system converts the texts of its char
// calls (CreateProcessA, CreateFileA): every byte maps to a character. UTF-8 text must be
// valid: false, with wide empty, when it is not.
bool wide_text(std::string_view text, text_encoding encoding, std::wstring& wide);

// UTF-16 text as UTF-8; a surrogate without its partner becomes U+FFFD.
std::string utf8_text(std::wstring_view wide);

// UTF-16 text in the ANSI code page, as the system gives a program its char texts: a
// character the code page lacks becomes its nearest match or the default character ('?').
std::string ansi_text(std::wstring_view wide);

// Compares two texts as Windows compares names (of variables, of files): ordinal, in any case.
// Negative, 0 or positive as a is before, equal to or after b.
int compare_names(std::wstring_view a, std::wstring_view b);

}  // namespace pt::platform::win32
