// Must not compile: a library header under C++17. The test that builds it expects the one
// error that says C++20 is needed.
#include "ortolib/core/string.h"
