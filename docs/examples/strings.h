// Example for the library overview (docs/LIBRARY.md): copy-on-write strings and strings that
// hold NUL bytes.
#pragma once

#include <ortolib/core/string.h>

namespace example {

// "<saved> -> <saved>, <name>": a copy keeps its text when the original changes afterwards.
pt::string greet(const pt::string& name);

// key, a NUL byte, then value: one string of strlen(key) + 1 + strlen(value) bytes.
pt::string make_record(const char* key, const char* value);

// The bytes after the first NUL of record; empty when it holds none.
pt::string record_value(const pt::string& record);

}  // namespace example
