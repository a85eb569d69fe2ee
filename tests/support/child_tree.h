// What the helper child needs to leave its parent's tree, and to name itself: the bodies are
// chosen by CMake with the library's backend, and the helper child compiles them in.
#pragma once

#include <cstdint>
#include <string>

#include "ortolib/platform/types.h"

namespace pt::test {

// Starts program with arguments (a command-line text after its name) on these standard
// handles, outside the tree of the calling process, as a daemon leaves it: POSIX in a session
// of its own (setsid), Windows breaking away from the job. The child is not waited for.
bool start_outside_tree(const char* program, const std::string& arguments, platform::handle input,
                        platform::handle output, platform::handle error);

// The calling process's id.
std::uint32_t current_process_id();

}  // namespace pt::test
