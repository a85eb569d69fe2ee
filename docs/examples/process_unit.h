// Example for the library overview (docs/LIBRARY.md): the process unit. The declaration of
// process_unit.cpp, for the tests that run it.
#pragma once

#include <cstdint>
#include <initializer_list>

#include <ortolib/core/string.h>

namespace example {

// Runs the program at path with arguments, each of which it receives whole, its standard
// output and standard error collected into output. Returns its exit code, or -1 when it could
// not be run, with the reason in error (empty when it ran).
std::int32_t run_program(const char* path, std::initializer_list<const char*> arguments,
                         pt::string& output, pt::string& error);

}  // namespace example
