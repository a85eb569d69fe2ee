// Windows backend, private: the job that ties a stand-in child (process_request::stand_in) to
// the process. Only the files of this backend include it.
#pragma once

#include <windows.h>

#include "ortolib/platform/types.h"

namespace pt::platform::win32 {

// A job made for one start: it ends the child, and what the child starts, when its last handle
// closes, which is when the process ends before the run does. Made before CreateProcess, which
// then starts the child suspended, so that nothing runs outside the job.
class stand_in_job {
 public:
  // Makes the job when wanted; without one (not wanted, or it cannot be made) the child starts
  // as any other.
  explicit stand_in_job(bool wanted);
  // Closes a job that was not handed over, ending whatever is in it.
  ~stand_in_job();
  stand_in_job(const stand_in_job&) = delete;
  stand_in_job& operator=(const stand_in_job&) = delete;

  // What CreateProcess adds to its flags: CREATE_SUSPENDED when there is a job.
  DWORD creation_flags() const;

  // Puts the started child into the job and lets it run. Inside a caller's job that refuses
  // another the child stays out of ours and runs as any other. False, with the error recorded,
  // when the child cannot be resumed.
  bool adopt(const PROCESS_INFORMATION& child);

  // Hands over what ties the child to the process (process_info::stand_in), for
  // process_stand_in_end; no_handle without a job.
  handle release();

 private:
  HANDLE job_ = nullptr;
};

}  // namespace pt::platform::win32
