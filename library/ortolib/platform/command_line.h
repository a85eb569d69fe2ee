// The Windows command-line rules in one place: quoting an argument, quoting the program name,
// and splitting a command line back into arguments as the Microsoft C runtime does. Pure
// functions on bytes, without OS calls; they sit with the platform layer because the POSIX
// backend builds a child's argv with the splitter, so that a child there receives exactly the
// arguments a Windows child would. Nothing here throws except std::bad_alloc.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pt {

// Escapes an argument for use between double quotes. Works on bytes: 0x5C is a backslash and
// 0x22 a double quote wherever they stand; every other byte (tabs, CR, 0x80..0xFF) is copied
// as is. A run of n backslashes doubles to 2n only where the parser would read it as an
// escape: at the end (the closing quote follows) or before a double quote. The surrounding
// quotes are not added.
//
//   argument        escaped
//   two words       two words
//   say "hi"        say \"hi\"
//   C:\dir\file     C:\dir\file        backslashes before other bytes stay single
//   C:\dir\         C:\dir\\           a trailing run doubles
//   a\"b            a\\\"b             run doubles, then the quote gets its own backslash
//   "               \"
//   \               \\                 (an argument of one backslash)
std::string escape_argument(std::string_view argument);

// One argument as a command-line token that the C runtime reads back as exactly that
// argument, byte for byte: a double quote, the escaped argument, a double quote. A command
// line is zero-terminated, so a NUL byte cannot be carried on it: the argument is cut at its
// first NUL, which keeps the closing quote in place.
//
//   argument        token
//   hello           "hello"
//   C:\dir\         "C:\dir\\"
//   ab<NUL>c\       "ab"
//   <NUL>x          ""                 (an empty argument)
std::string quote_argument(std::string_view argument);

// The program name at the head of a command line. The C runtime ends it at the first blank
// outside quotes and drops every quote in it, without escapes, so a name with a space, a tab
// or a double quote is put in quotes, and a double quote in it is doubled: it then reads as
// nothing instead of ending the quoted section (no Windows path holds one). Other names stay
// as they are.
//
//   name                   on the command line
//   C:\dir\p.exe           C:\dir\p.exe
//   C:\my dir\p.exe        "C:\my dir\p.exe"
//   /odd"name              "/odd""name"       reads back as /oddname
std::string quote_program_name(std::string_view name);

// Splits a zero-terminated command line. The first token is the program name: it ends at the
// first space or tab outside double quotes; every double quote in it toggles quoting and is
// dropped; backslashes are plain characters. The rest as command_line_split_arguments does.
// An empty line gives an empty list.
std::vector<std::string> command_line_split(const char* command_line);

// Splits what follows the program name on a command line (leading blanks are skipped), token
// by token:
//
//   input              token
//   a b                a | b          spaces and tabs separate outside quotes
//   "a b"              a b            a double quote opens or closes a quoted section
//   \\\"               \"             2n+1 backslashes + quote: n backslashes, literal quote
//   \\"a b"            \a b           2n backslashes + quote: n backslashes, quote toggles
//   a\b\               a\b\           backslashes not before a quote are literal
//   "a""b"             a"b            inside quotes, a doubled quote is one literal quote
//   ""                 (empty)        a quoted empty section is an empty argument
//
// Blanks alone, or an empty text, give an empty list.
std::vector<std::string> command_line_split_arguments(const char* arguments);

}  // namespace pt
