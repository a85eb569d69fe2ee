// Private to the library (not installed): finding the program that a command name stands for.
// Backend: program_search.cpp.
#pragma once

#include <string>

#include "ortolib/platform/text_encoding.h"

namespace pt::platform {

// The path of the program that name stands for, or "": the rules of pt::find_program
// (units/find_program.h), which gives it to callers.
std::string find_program_path(const std::string& name, text_encoding encoding);

}  // namespace pt::platform
