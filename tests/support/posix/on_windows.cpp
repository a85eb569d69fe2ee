// The POSIX build.
#include "support/on_windows.h"

namespace pt::test {

bool on_windows() { return false; }

}  // namespace pt::test
