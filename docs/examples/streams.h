// Example for the library overview (docs/LIBRARY.md): files, pipes, memory streams and
// stream errors.
#pragma once

#include <ortolib/core/string.h>
#include <ortolib/streams/instm.h>
#include <ortolib/streams/outstm.h>

namespace example {

// Copies the rest of from into to. Stream errors (pt::estream*) pass on to the caller.
void copy_stream(pt::instm& from, pt::outstm& to);

// Writes text into the file at path, created or emptied. Throws pt::estream* when the file
// cannot be opened or written.
void save_text(const char* path, const char* text);

// The whole file at path. When it cannot be read, reports the error on pt::std_error as
// "cannot read: <message>" and returns an empty string.
pt::string load_text(const char* path);

// text sent through an anonymous pipe and read back on the calling thread. For texts of a
// few kilobytes at most: a pipe holds no more until someone reads.
pt::string through_pipe(const char* text);

}  // namespace example
