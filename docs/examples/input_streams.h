// Example for the library overview (docs/LIBRARY.md): input from memory, an input stream of
// one's own, and a program fed from either. The declarations of input_streams.cpp, for the
// tests that run it.
#pragma once

#include <cstdint>

#include <ortolib/core/ref.h>
#include <ortolib/core/string.h>
#include <ortolib/streams/instm.h>

namespace example {

// A closed input stream of count bytes of pattern, repeated, made as they are read.
pt::ref<pt::instm> make_pattern_input(const pt::string& pattern, std::int64_t count);

// The lines of text, read through a pt::inmemory.
std::int32_t count_lines_of(const pt::string& text);

// Runs the program at path with one argument and input as its standard input, and returns what
// it wrote: at most output_limit bytes, or all of it for a negative limit. error gets the
// reason of a failed run (empty when it ran), a cut output among them; the unit also reports
// it on pt::std_error, as units do by default.
pt::string run_with_input(const char* path, const char* argument, pt::instm& input,
                          std::int32_t output_limit, pt::string& error);

}  // namespace example
