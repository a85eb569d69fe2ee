// Splitting a Windows command line into arguments by the Microsoft C-runtime rules. The POSIX
// backend builds a child's argv with it, so that a child there receives exactly the arguments a
// Windows child would; the tests use it as the reference reader of argument quoting.
#pragma once

#include <string>
#include <vector>

namespace pt::platform {

// Splits a zero-terminated command line. The first token is the program name: it ends at the
// first space or tab outside double quotes; every double quote in it toggles quoting and is
// dropped; backslashes are plain characters. The rest, token by token:
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
// An empty line gives an empty list.
std::vector<std::string> command_line_split(const char* command_line);

}  // namespace pt::platform
