// Whether the tests were built with a sanitizer. Its runtime reserves terabytes of address space
// (so no address-space limit can apply) and its allocator copies on every realloc.
#pragma once

namespace pt::test {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool sanitized_build = true;
#else
inline constexpr bool sanitized_build = false;
#endif

// ThreadSanitizer runs a signal handler only when the thread next enters its runtime, not while
// the thread waits in a call that the signal restarts (a blocking read).
#if defined(__SANITIZE_THREAD__)
inline constexpr bool handlers_deferred = true;
#else
inline constexpr bool handlers_deferred = false;
#endif

}  // namespace pt::test
