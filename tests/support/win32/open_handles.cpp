// Windows: the handles of the calling process; none can be put at a chosen value. wine answers
// GetProcessHandleCount with 0, so there the handle values are probed one by one; a process of the
// tests holds few, all low.
#include <windows.h>

#include "support/open_handles.h"

namespace pt::test {

std::int64_t open_handle_count() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0)
    return count;
  std::int64_t probed = 0;
  DWORD flags = 0;
  // Handle values are multiples of 4.
  for (ULONG_PTR value = 4; value < 0x10000; value += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
      ++probed;
  return probed;
}

bool duplicate_handle_to(platform::handle, platform::handle) { return false; }

}  // namespace pt::test
