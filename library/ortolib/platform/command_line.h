// The Windows command-line rules in one place: quoting an argument, quoting the program name,
// and splitting a command line back into arguments as the Microsoft C runtime does, and the
// quoting for cmd.exe, which runs batch files by rules of its own. Pure functions on bytes,
// without OS calls; they sit with the platform layer because the POSIX backend builds a child's
// argv with the splitter, so that a child there receives exactly the arguments a Windows child
// would. Nothing here throws except std::bad_alloc.
#pragma once

#include "ortolib/config.h"

#include <bitset>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ortolib/platform/text_encoding.h"

namespace pt {

// The lead bytes of a double-byte code page (932, 936, 949, 950): Windows reads a lead byte
// and the byte after it as one character, so a second byte 0x5C is no backslash. A command
// line is read in the ANSI code page, whose lead bytes the platform layer gives; empty (every
// byte a character) for single-byte code pages, UTF-8 and POSIX, where all of the below works
// on plain bytes. Every second byte of these code pages is 0x40 or above; a lead byte before a
// lower byte (a blank, a quote, %, a line end) or at the end forms no character and could not
// reach a child as it stands: the quoting puts '?' in its place, so that the system cannot
// take the next byte, or a closing quote, into it.
using lead_bytes = std::bitset<256>;

// Escapes an argument for use between double quotes. Works by characters: 0x5C is a backslash
// and 0x22 a double quote wherever they stand as characters of their own; every other byte
// (tabs, CR, 0x80..0xFF) is copied as is, and so is a lead byte with its second byte. A run of
// n backslashes doubles to 2n only where the parser would read it as an escape: at the end
// (the closing quote follows) or before a double quote. The surrounding quotes are not added.
//
//   argument        escaped
//   two words       two words
//   say "hi"        say \"hi\"
//   C:\dir\file     C:\dir\file        backslashes before other bytes stay single
//   C:\dir\         C:\dir\\           a trailing run doubles
//   a\"b            a\\\"b             run doubles, then the quote gets its own backslash
//   "               \"
//   \               \\                 (an argument of one backslash)
//
//   with the lead bytes of code page 932 (0x81..0x9F, 0xE0..0xFC):
//   x 95 5C         x 95 5C            95 5C is one character, not a trailing backslash
//   95 5C "         95 5C \"
//   x 95            x ?                a lead byte at the end, or before a byte below 0x40
std::string escape_argument(std::string_view argument, const lead_bytes& lead = {});

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
std::string quote_argument(std::string_view argument, const lead_bytes& lead = {});

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
// An empty line gives an empty list. Both splitters read a lead byte and the byte after it as
// one character, as the runtime does in a double-byte code page.
std::vector<std::string> command_line_split(const char* command_line, const lead_bytes& lead = {});

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
std::vector<std::string> command_line_split_arguments(const char* arguments,
                                                      const lead_bytes& lead = {});

// True for a file that CreateProcess hands to cmd.exe: a name ending in .bat or .cmd in any
// case, also with trailing dots and spaces, which Windows drops from a path (a \\?\ path keeps
// them, and so names another file).
bool is_batch_file(std::string_view path);

// A batch file (.bat, .cmd) runs in cmd.exe, which reads the command line itself: it expands
// %NAME% everywhere, quotes or not; outside double quotes & | < > ( ) ^ act; every " toggles
// quoting, \" included (no escapes); it drops CR and ends the line at LF. Then the batch sees
// each blank-separated quoted token as one parameter (%1, %~1 without its outer quotes), and a
// program the batch passes %* on to reads the tokens by the C-runtime rules. So a batch
// argument is quoted for both:
//   - always between double quotes, which keep every special character in it inert;
//   - a double quote doubles: "" toggles quoting off and at once on again, and reads as one
//     literal quote to the C runtime; the backslashes before it, and at the end, double as
//     the C-runtime rules want;
//   - a % becomes %%cd:~,% : cmd.exe keeps the first % (an empty name is no variable) and
//     expands %cd:~,% to nothing, so no two percent signs of the argument can meet around a
//     name (this needs command extensions, which are on unless the registry turns them off;
//     delayed expansion, !NAME!, is off unless the registry turns it on, and then ! acts).
// Without " and % the token is quote_argument's. An argument holding CR or LF cannot be
// passed: nothing is returned. Cut at its first NUL, as quote_argument cuts.
//
//   argument                               token
//   two words                              "two words"
//   a & b                                  "a & b"
//   say "hi"                               "say ""hi"""
//   x" & echo pwned & rem "                "x"" & echo pwned & rem """
//   a\"b                                   "a\\""b"
//   C:\dir\                                "C:\dir\\"
//   %OS%                                   "%%cd:~,%OS%%cd:~,%"
std::optional<std::string> quote_batch_argument(std::string_view argument,
                                                const lead_bytes& lead = {});

// A batch file's path at the head of its command line, which cmd.exe reads to find the batch:
// left as it is when it holds only letters, digits, bytes from 0x80 and \ / : . _ - ~, put in
// double quotes otherwise, with % made inert as above. A path holding " (no Windows path can),
// CR, LF or a lead byte that forms no character cannot be passed: nothing is returned.
std::optional<std::string> quote_batch_program_name(std::string_view name,
                                                    const lead_bytes& lead = {});

// The most characters cmd.exe reads on a command line; the system puts the batch's command
// line between two more double quotes (cmd.exe /c "...").
inline constexpr std::size_t batch_line_limit = 8191;

// Why a batch file's command line cannot be made.
enum class batch_refusal {
  none,
  unsafe_text,  // the program name or an argument holds what cmd.exe would not pass on
  too_long,     // more characters than batch_line_limit allows
};

// The command line for a batch file: the program name (quote_batch_program_name), then for
// each argument that the C-runtime tokens of arguments stand for (command_line_split_arguments,
// so a token added unquoted is taken as the runtime reads it) a space and quote_batch_argument.
// A path of plain characters and arguments quoted by quote_argument that hold no " and no %
// give the very line that quote_program_name and those tokens make. Its characters are
// counted in the encoding of program and arguments: ANSI by lead, UTF-8 (with no lead bytes)
// as the UTF-16 units cmd.exe reads. On a refusal line is left empty.
batch_refusal batch_command_line(std::string_view program, const char* arguments,
                                 const lead_bytes& lead, std::string& line,
                                 text_encoding encoding = text_encoding::ansi);

}  // namespace pt
