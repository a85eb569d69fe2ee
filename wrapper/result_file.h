// Writing the result file: the child's collected output (and a note for exception codes) over
// the argument file, with LF written as CR LF on every platform, and the final exit status.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "ortolib/platform/text_encoding.h"

namespace cmdwrap {

// Opens path (a text of path_encoding) for writing, creating it or truncating it to zero
// length, without denying other processes access; no child process inherits it. From here on
// the argument lines are gone from disk. It never waits: a FIFO that nobody reads fails at once.
// The stream is unbuffered: write_result_file stages its own chunks. Returns null when it
// cannot be opened; the file is then untouched. The caller hands the stream to
// write_result_file, which closes it.
std::FILE* open_result_file(const char* path,
                            pt::text_encoding path_encoding = pt::text_encoding::ansi);

// Writes output to file, closes file (always, also on failure) and returns the final status.
//
// Exception note: when status, taken as unsigned, is 0xC0000000 or above, the text
//   [LF if output is not empty] "Returned Win32 exception 0x" <8 lowercase hex digits> LF
// follows the output and the status becomes -1 (so -1 itself gives the note with ffffffff).
// Every other status (0x80000000..0xBFFFFFFF included) passes through unchanged.
//
// Every LF, the note's included, is written as CR LF; no other byte changes:
//
//   output              file bytes
//   ok LF               ok CR LF
//   a CR LF             a CR CR LF
//   (empty), status 0   (empty file)
//   x LF, 0xC0000005    x CR LF CR LF Returned Win32 exception 0xc0000005 CR LF
//
// The file is then cut where the result ends, so that nothing written into it meanwhile (by the
// child, say) stays behind the result. The translation runs in bounded chunks, so no second
// full-size copy of the output is made.
// Any short or failed write, and any failure reported when the stream is flushed or closed
// (a full disk that shows only then), makes the status -1; what reached the file stays there.
// Such a failure is also described in *failure, when given. Nothing is thrown except
// std::bad_alloc (the file is still closed then).
struct write_failure {
  bool failed = false;
  std::uint32_t error = 0;  // the OS error number of the first failed call (last_c_file_error)
};
std::int32_t write_result_file(std::FILE* file, std::string_view output, std::int32_t status,
                               write_failure* failure = nullptr);

}  // namespace cmdwrap
