// The result file's line ends: every LF of the child's output written as CR LF, the text-mode
// line end of every platform.
#pragma once

#include <cstddef>

namespace cmdwrap {

// Copies size bytes from in to out with every LF written as CR LF and returns the bytes
// written: size plus the number of LF. out must have room for 2 * size bytes and must not
// overlap in. Bytes other than LF pass unchanged, a CR LF in included (it becomes CR CR LF).
std::size_t expand_line_ends(const char* in, std::size_t size, char* out);

}  // namespace cmdwrap
