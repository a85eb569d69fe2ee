// The Windows build.
#include "support/on_windows.h"

namespace pt::test {

bool on_windows() { return true; }

}  // namespace pt::test
