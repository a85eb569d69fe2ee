// What a parent sees of a child's exit status: all 32 bits on Windows, the low 8 on POSIX.
// Death tests compare fatal codes and wrapper statuses through it on both platforms.
#pragma once

#include <cstdint>

namespace pt::test {

// The status a parent reads when the child ended with code.
int visible_status(std::uint32_t code);

}  // namespace pt::test
