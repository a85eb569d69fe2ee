// Windows backend, private: the job a child runs in, which holds its tree
// (process_info::tree) and, for a stand-in (process_request::stand_in), ties that tree to the
// process. Only the files of this backend include it.
#pragma once

#include <windows.h>

#include "ortolib/platform/private/process.h"
#include "ortolib/platform/types.h"

namespace pt::platform::win32 {

// A job made for one start, before CreateProcess, which then starts the child suspended, so
// that nothing runs outside the job. What the child starts joins it, unless it breaks away.
// A stand-in's job also ends the child and its tree when its last handle closes, which is when
// the process ends before the run does.
class child_job {
 public:
  // A job for a child whose tree is wanted, or a stand-in; for any other child none. Without a
  // job (not wanted, or it cannot be made) the child starts as any other.
  child_job(bool tree, bool stand_in);
  // Closes a job that was not handed over, ending whatever is in a stand-in's.
  ~child_job();
  child_job(const child_job&) = delete;
  child_job& operator=(const child_job&) = delete;

  // What CreateProcess adds to its flags: CREATE_SUSPENDED when there is a job.
  DWORD creation_flags() const;

  // Puts the started child into the job and lets it run. Inside a caller's job that refuses
  // another the child stays out of ours and runs as any other. False, with the error recorded,
  // when the child cannot be resumed.
  bool adopt(const PROCESS_INFORMATION& child);

  // Hands the job over: started.tree when the tree is wanted and the child is in the job, and
  // for a stand-in started.stand_in, for process_stand_in_end.
  void hand_over(process_info& started);

 private:
  HANDLE job_ = nullptr;
  bool tree_ = false;
  bool stand_in_ = false;
  bool adopted_ = false;  // the child is in the job
};

}  // namespace pt::platform::win32
