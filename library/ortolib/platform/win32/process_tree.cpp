// Windows backend: a child's tree is the job it runs in (job.cpp); ending it ends everything
// that did not break away.
#include <windows.h>

#include "ortolib/platform/private/process.h"
#include "ortolib/platform/private/process_tree.h"

namespace pt::platform {

bool process_kill_tree(handle process, handle tree) {
  // The child first, so that its exit code is the one process_kill gives.
  const bool ended = process_kill(process);
  if (tree != no_handle)
    TerminateJobObject(reinterpret_cast<HANDLE>(tree), killed_exit_code);
  return ended;
}

void process_tree_close(handle& tree) {
  if (tree != no_handle)
    CloseHandle(reinterpret_cast<HANDLE>(tree));
  tree = no_handle;
}

}  // namespace pt::platform
