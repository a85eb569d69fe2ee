// Example for the library overview (docs/LIBRARY.md): the process unit.
#pragma once

#include <cstdint>
#include <initializer_list>

#include <ortolib/core/string.h>

namespace example {

// Runs the program at path with arguments, each of which it receives whole, its standard
// output and standard error collected into output. Returns its exit code, or -1 when it could
// not be run (the reason is on pt::std_error).
std::int32_t run_program(const char* path, std::initializer_list<const char*> arguments,
                         pt::string& output);

}  // namespace example
