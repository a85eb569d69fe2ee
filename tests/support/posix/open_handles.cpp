// POSIX: the descriptors of the calling process, counted in /proc/self/fd (Linux).
#include <dirent.h>

#include "support/open_handles.h"

namespace pt::test {

std::int64_t open_handle_count() {
  DIR* folder = ::opendir("/proc/self/fd");
  if (folder == nullptr)
    return -1;
  std::int64_t count = 0;
  while (const dirent* entry = ::readdir(folder))
    if (entry->d_name[0] != '.')
      ++count;
  ::closedir(folder);
  return count - 1;  // the descriptor that reads the folder
}

}  // namespace pt::test
