// Reading the argument file: one child argument per non-empty line, read by the text-mode
// rules of the Windows C runtime on every platform, so that the protocol is the same everywhere,
// and no more of it than a command line can hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ortolib/platform/command_line_room.h"
#include "ortolib/platform/text_encoding.h"

namespace cmdwrap {

struct argument_lines {
  bool opened = false;             // false: the file could not be opened, read or decoded
  bool too_long = false;           // reading stopped at a bound (below); lines is empty then
  std::vector<std::string> lines;  // the non-empty lines in file order; empty when !opened
  std::vector<std::uint32_t> line_numbers;  // the number of each of lines in the file, from 1
  // What the lines are: ANSI bytes, or UTF-8 for a file with a byte-order mark.
  pt::text_encoding encoding = pt::text_encoding::ansi;
  std::uint32_t error = 0;  // when !opened, the OS error number (pt::last_c_file_error) ...
  std::string undecodable;  // ... or, when not empty, why a marked file holds no valid text
};

// The most bytes of an argument file that are read: 16 MiB, more than twice what the longest
// command line of any platform holds (6 MiB on Linux, 32 KiB on Windows). Only empty lines, or
// the bytes after a NUL, which no command line carries, could make a longer file start a child.
inline constexpr std::uint64_t argument_file_bound = std::uint64_t{16} << 20;

// Opens, reads and closes the file at path (a text of path_encoding). The file is opened
// without denying other processes read or write access, and no child inherits it. A file that
// begins with a byte-order mark (UTF-8, UTF-16 LE or BE) is decoded to UTF-8 first, the mark
// dropped, and one with a UTF-32 mark is refused (argument_text.h); the characters then go by
// the rules that take the bytes of any other file. Bytes are translated by the text-mode rules,
// then split at LF; empty lines are dropped and every other line is kept exactly as read:
//
//   file bytes                lines
//   abc                       abc               a last line without LF still counts
//   a CR LF CR LF b LF        a | b             CR LF reads as LF; the empty line is dropped
//   a CR CR LF                a CR              a CR not followed by LF stays
//   a LF b 0x1A c LF          a | b             0x1A ends the data; c is never read
//   SP SP SP LF               SP SP SP          spaces are part of the line
//   (empty) or LF LF          (none)            opened, with an empty list
//
// Reading is bounded: it stops, with too_long set and no lines, as soon as the lines read so
// far (the one still being read included) no longer fit the room of a command line (each line
// is counted into room in its encoding, as its child would receive it), or the file holds more
// than byte_bound bytes of text before its end of data (the mark aside; UTF-16 text two bytes a
// unit, so a U+001A right after the bound ends the data as a byte 0x1A does). Memory stays
// bounded so, whatever the file. What follows the last line (line ends, 0x1A) takes no room.
//
// A file that cannot be opened, one whose reading fails part way (a directory, an I/O error)
// and a marked file that does not decode (before its end of data) report opened == false with
// no lines: the caller must not run a child on a partial list. Nothing is thrown except
// std::bad_alloc.
argument_lines read_argument_lines(const char* path, pt::command_line_room& room,
                                   std::uint64_t byte_bound = argument_file_bound,
                                   pt::text_encoding path_encoding = pt::text_encoding::ansi);

}  // namespace cmdwrap
