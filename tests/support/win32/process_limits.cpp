// Windows: no process limits for the tests. A job object could cap a process's memory, but
// wine does not enforce it and there is no file-size limit; the tests that need one skip.
#include <windows.h>

#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/process.h"
#include "support/process_limits.h"

namespace pt::test {

bool process_limits_supported() { return false; }

bool process_signal(platform::handle, test_signal) { return false; }

bool join_new_job() {
  // The handle stays open for the rest of the process: the job lives while it runs.
  const HANDLE job = CreateJobObjectA(nullptr, nullptr);
  return job != nullptr && AssignProcessToJobObject(job, GetCurrentProcess()) != FALSE;
}

bool limit_this_process(const process_limits&) { return false; }

platform::os_error start_limited(const platform::process_request&, const process_limits&,
                                 platform::process_info&, const signal_setup&) {
  return ERROR_NOT_SUPPORTED;
}

}  // namespace pt::test
