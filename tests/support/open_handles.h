// Counting the handles a process holds, so that tests can tell a leaked descriptor or handle.
#pragma once

#include <cstdint>

namespace pt::test {

// The number of descriptors (POSIX: the entries of /proc/self/fd, less the one the count
// itself opens) or handles (Windows) the calling process holds; -1 when the platform gives no
// count. Only differences between two counts mean anything: the base differs per platform.
std::int64_t open_handle_count();

}  // namespace pt::test
