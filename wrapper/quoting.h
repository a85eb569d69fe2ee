// Turning one argument line into one command-line token that the Windows C-runtime parser
// reads back as exactly that line, byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace cmdwrap {

// Escapes a line for use between double quotes. Works on bytes: 0x5C is a backslash and 0x22 a
// double quote wherever they stand; every other byte (tabs, CR, 0x80..0xFF) is copied as is.
// A run of n backslashes doubles to 2n only where the parser would read it as an escape: at
// the end of the line (the closing quote follows) or before a double quote. The surrounding
// quotes are not added.
//
//   line            escaped
//   two words       two words
//   say "hi"        say \"hi\"
//   C:\dir\file     C:\dir\file        backslashes before other bytes stay single
//   C:\dir\         C:\dir\\           a trailing run doubles
//   a\"b            a\\\"b             run doubles, then the quote gets its own backslash
//   "               \"
//   \               \\                 (line of one backslash)
//
// Never throws except std::bad_alloc.
std::string escape_argument(std::string_view line);

// The whole token of one line: a double quote, the escaped line, a double quote. A command
// line is zero-terminated, so a NUL byte cannot be carried on it: the line is cut at its first
// NUL, which keeps the closing quote in place.
//
//   line            token
//   hello           "hello"
//   C:\dir\         "C:\dir\\"
//   ab<NUL>c\       "ab"
//   <NUL>x          ""                 (an empty argument)
std::string make_argument_token(std::string_view line);

}  // namespace cmdwrap
