// Example for the library overview (docs/LIBRARY.md): copy-on-write strings, strings that
// hold NUL bytes, and strings in the standard library's algorithms. The declarations of
// strings.cpp, for the tests that run it.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include <ortolib/core/string.h>

namespace example {

// "<saved> -> <saved>, <name>": a copy keeps its text when the original changes afterwards.
pt::string greet(const pt::string& name);

// key, a NUL byte, then value: one string of strlen(key) + 1 + strlen(value) bytes.
pt::string make_record(const char* key, const char* value);

// The bytes after the first NUL of record; empty when it holds none.
pt::string record_value(const pt::string& record);

// The words of text (separated by spaces) in byte order, each once.
std::vector<pt::string> distinct_words(const pt::string& text);

// How often each non-empty word occurs.
std::unordered_map<pt::string, int> word_counts(const std::vector<std::string>& words);

}  // namespace example
