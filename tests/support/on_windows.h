// Which platform the tests run on, for the few expectations that differ (Windows' refusals
// where POSIX cannot refuse, its errors where POSIX reads an end). The body is chosen by CMake
// with the library's backend.
#pragma once

namespace pt::test {

// True in the Windows build (natively or under wine), false on POSIX.
bool on_windows();

}  // namespace pt::test
