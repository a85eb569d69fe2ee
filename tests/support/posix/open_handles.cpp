// POSIX: the descriptors of the calling process, counted in /proc/self/fd (Linux), and dup2.
#include <dirent.h>
#include <unistd.h>

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

bool duplicate_handle_to(platform::handle h, platform::handle at) {
  return ::dup2(static_cast<int>(h), static_cast<int>(at)) == at;
}

}  // namespace pt::test
