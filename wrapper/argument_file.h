// Reading the argument file: one child argument per non-empty line, read by the text-mode
// rules of the Windows C runtime on every platform, so that the protocol is the same everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cmdwrap {

struct argument_lines {
  bool opened = false;             // false: the file could not be opened or read to its end
  std::vector<std::string> lines;  // the non-empty lines in file order; empty when !opened
  std::uint32_t error = 0;         // when !opened, the OS error number (pt::last_c_file_error)
};

// Opens, reads and closes the file at path. The file is opened without denying other
// processes read or write access. Bytes are translated by the text-mode rules, then split at
// LF; empty lines are dropped and every other line is kept exactly as read:
//
//   file bytes                lines
//   abc                       abc               a last line without LF still counts
//   a CR LF CR LF b LF        a | b             CR LF reads as LF; the empty line is dropped
//   a CR CR LF                a CR              a CR not followed by LF stays
//   a LF b 0x1A c LF          a | b             0x1A ends the data; c is never read
//   SP SP SP LF               SP SP SP          spaces are part of the line
//   (empty) or LF LF          (none)            opened, with an empty list
//
// A file that cannot be opened, and one whose reading fails part way (a directory, an I/O
// error), report opened == false with no lines: the caller must not run a child on a partial
// list. Nothing is thrown except std::bad_alloc.
argument_lines read_argument_lines(const char* path);

}  // namespace cmdwrap
