// Counting the handles a process holds, so that tests can tell a leaked descriptor or handle,
// and placing one at a chosen number.
#pragma once

#include <cstdint>

#include "ortolib/platform/types.h"

namespace pt::test {

// The number of descriptors (POSIX: the entries of /proc/self/fd, less the one the count
// itself opens) or handles (Windows) the calling process holds; -1 when the platform gives no
// count. Only differences between two counts mean anything: the base differs per platform.
std::int64_t open_handle_count();

// Puts a duplicate of h at the number `at`, closing what was there (POSIX: dup2). False on
// failure, and always on Windows, where the system chooses every handle's value.
bool duplicate_handle_to(platform::handle h, platform::handle at);

}  // namespace pt::test
